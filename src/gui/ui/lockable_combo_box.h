#pragma once

#include <QComboBox>

namespace ui {

// A list box that can be locked: while locked the user can neither pick
// another entry nor type, but the box is not greyed out and keeps showing
// its text. Programs can still change it.
class LockableComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(bool Locked READ isLocked WRITE setLocked)
public:
    using QComboBox::QComboBox;

    bool isLocked() const { return locked_; }
    void setLocked(bool locked);

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    bool locked_ = false;
};

} // namespace ui
