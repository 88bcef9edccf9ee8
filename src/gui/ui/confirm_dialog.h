#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace ui {

// Dialog_Clr_kWh: a small modal question with a YES and a NO button, asked
// before a setting that cannot be undone (the meter's clock, its energy
// counters, its load-profile records). Closing it by its frame answers NO.
class Dialog_Clr_kWh : public QDialog {
    Q_OBJECT
public:
    explicit Dialog_Clr_kWh(QWidget *parent = nullptr);

    // The window's dialog: created on first use, then reused.
    static Dialog_Clr_kWh *of(QWidget *window);

    // Shows the question with the two button texts modally; true when the
    // user pressed YES.
    bool ask(const QString &question, const QString &yesText, const QString &noText);

    void Form_Load() { Confirmed = false; }
    void OKButton_Click();
    void CancelButton_Click();

    // True after YES; false after NO, the close box, or when shown anew.
    bool Confirmed = false;

private:
    QLabel *Label1;
    QPushButton *OKButton;
    QPushButton *CancelButton;
};

} // namespace ui
