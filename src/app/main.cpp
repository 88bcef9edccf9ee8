#include "app/main_form.h"
#include "link/plain_dispatcher.h"
#include "ui/message_boxes.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    preferPlainEventDispatcher();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ampwright"));

    MessageBoxes messages;
    MainForm window(messages, QCoreApplication::applicationDirPath());
    messages.setParent(&window);
    if (!window.Form_Load())
        return 0;
    QObject::connect(&window, &MainForm::unloaded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}
