#pragma once

#include "gui/app/language_sel_form.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace testsupport {

// How a test answers the start form that the main window's start-up shows
// modally.
struct StartFormAnswer {
    enum class Button { Enter, Close, CloseBox };
    QString connection = QStringLiteral("RS485(Modbus RTU)");
    QString language = QStringLiteral("English");
    Button button = Button::Enter;
};

// Arms a timer that finds the modal start form once it is shown, picks the
// entries and presses the button. Call it right before the start-up.
inline void answerStartFormWhenShown(const StartFormAnswer &answer)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto attempts = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, attempts] {
        auto *form = qobject_cast<app::LanguageSelForm *>(QApplication::activeModalWidget());
        if (!form) {
            // Give up after a while: the start-up then waits on a form no one answers.
            if (++*attempts > 500)
                timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        auto *connection = form->findChild<QComboBox *>(QStringLiteral("Combo_Connect"));
        auto *language = form->findChild<QComboBox *>(QStringLiteral("Combo_Lang"));
        if (connection && connection->findText(answer.connection) >= 0)
            connection->setCurrentIndex(connection->findText(answer.connection));
        if (language && language->findText(answer.language) >= 0)
            language->setCurrentIndex(language->findText(answer.language));
        switch (answer.button) {
        case StartFormAnswer::Button::Enter:
            form->findChild<QPushButton *>(QStringLiteral("CommOK"))->click();
            break;
        case StartFormAnswer::Button::Close:
            form->findChild<QPushButton *>(QStringLiteral("CommLeave"))->click();
            break;
        case StartFormAnswer::Button::CloseBox:
            form->close();
            break;
        }
    });
    timer->start();
}

} // namespace testsupport
