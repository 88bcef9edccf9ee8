#pragma once

#include "gui/ui/messages.h"

#include <QList>
#include <QString>

namespace testsupport {

// Messages that are recorded instead of shown, answered with a set answer.
class RecordingMessages : public ui::Messages {
public:
    struct Shown {
        ui::MessageKind kind;
        QString title;
        QString text;
    };

    ui::MessageAnswer show(ui::MessageKind kind, const QString &title, const QString &text) override
    {
        shown.append({kind, title, text});
        return answer;
    }

    // How many messages had exactly this text.
    int count(const QString &text) const
    {
        int n = 0;
        for (const Shown &message : shown)
            n += message.text == text ? 1 : 0;
        return n;
    }

    QList<Shown> shown;
    ui::MessageAnswer answer = ui::MessageAnswer::Ok;
};

} // namespace testsupport
