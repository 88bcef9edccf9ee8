#pragma once

#include <QListWidget>

namespace lpviewer {

// The viewer's channels as a strip across the window: the entries side by
// side in columns of one width, wrapped into as many rows as they need, and
// the list exactly as tall as those rows, so that the chart below gets the
// rest of the height.
class ChannelList : public QListWidget {
    Q_OBJECT
public:
    explicit ChannelList(QWidget *parent = nullptr);

    // Lays the entries out anew once they changed.
    void fitEntries();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitHeight();
};

} // namespace lpviewer
