// Loaded into the installed program (LD_PRELOAD) by test_package.sh: does
// what a technician does, by the controls' names. It answers the start form
// (TCP, English), closes any message, types the meter's address from
// $DRIVE_METER, presses the
// online button, waits for live values, prints them and closes the window.
// It prints "NOT LIVE" and ends the program with status 3 after a minute.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

QWidget *topLevel(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

void choose(QWidget *form, const char *list, const QString &text)
{
    auto *box = form->findChild<QComboBox *>(QLatin1String(list));
    if (box)
        box->setCurrentIndex(box->findText(text));
}

void drive()
{
    auto *timer = new QTimer(QCoreApplication::instance());
    auto *since = new QElapsedTimer;
    since->start();
    QObject::connect(timer, &QTimer::timeout, [timer, since] {
        static bool pressed = false;
        if (since->elapsed() > 60000) {
            std::puts("NOT LIVE");
            std::fflush(stdout);
            std::_Exit(3);
        }
        // A message on the way (no serial port on this machine, say) is read
        // and closed, as a technician would.
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "message: %s\n", qPrintable(box->text()));
            box->done(QMessageBox::Ok);
            return;
        }
        if (QWidget *start = QApplication::activeModalWidget();
            start && start->objectName() == QLatin1String("LanguageSelForm")) {
            choose(start, "Combo_Connect", QStringLiteral("Ethernet(TCP)"));
            choose(start, "Combo_Lang", QStringLiteral("English"));
            start->findChild<QPushButton *>(QStringLiteral("CommOK"))->click();
            return;
        }
        QWidget *window = topLevel(QStringLiteral("MainForm"));
        if (!window)
            return;
        if (!pressed) {
            window->findChild<QLineEdit *>(QStringLiteral("IPAddress"))->setText(qEnvironmentVariable("DRIVE_METER"));
            window->findChild<QPushButton *>(QStringLiteral("cmdOnLine"))->click();
            pressed = true;
            return;
        }
        const auto text = [window](const char *name) {
            auto *edit = window->findChild<QLineEdit *>(QLatin1String(name));
            return edit ? edit->text() : QString();
        };
        if (text("txtFWver").isEmpty() || text("txt_V_N(0)").isEmpty())
            return;
        std::printf("LIVE firmware=%s voltage=%s title=%s\n", qPrintable(text("txtFWver")),
                    qPrintable(text("txt_V_N(0)")), qPrintable(window->windowTitle()));
        std::fflush(stdout);
        timer->stop();
        window->close();
    });
    timer->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(drive)
