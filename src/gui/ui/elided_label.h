#pragma once

#include <QLabel>

namespace ui {

// A one-line label that shows its whole text when it has the room and cuts
// it in the middle ("12345678_2024…_073327.csv") only when it has not. It
// asks the layout for the room of the whole text.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setWholeText(const QString &text);
    const QString &wholeText() const { return whole_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString whole_;
};

} // namespace ui
