#pragma once

#include "gui/ui/confirm_dialog.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace testsupport {

enum class DialogAnswer { None, Yes, No, CloseBox };

// Answers the confirmation dialog once it is shown modally, and keeps its
// question in *question when given.
inline void answerDialogWhenShown(DialogAnswer answer,
                                  std::shared_ptr<QString> question = nullptr)
{
    QTimer::singleShot(50, [answer, question] {
        auto *dialog = qobject_cast<ui::Dialog_Clr_kWh *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        if (question)
            *question = dialog->findChild<QWidget *>(QStringLiteral("Label1"))->property("text").toString();
        if (answer == DialogAnswer::CloseBox)
            dialog->close();
        else
            dialog
                ->findChild<QPushButton *>(answer == DialogAnswer::Yes ? QStringLiteral("OKButton")
                                                                       : QStringLiteral("CancelButton"))
                ->click();
    });
}

} // namespace testsupport

Q_DECLARE_METATYPE(testsupport::DialogAnswer)
