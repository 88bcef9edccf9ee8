#include "gui/app/main_form.h"
#include "gui/ui/message_boxes.h"
#include "links/plain_dispatcher.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    links::preferPlainEventDispatcher();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ampwright"));

    ui::MessageBoxes messages;
    app::MainForm window(messages, QCoreApplication::applicationDirPath());
    messages.setParent(&window);
    if (!window.Form_Load())
        return 0;
    QObject::connect(&window, &app::MainForm::unloaded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}
