#pragma once

// A host's side of a control, reduced to what tests look at: the messages the
// control shows through its site and the events it raises.

#include "phasorctl/hosting/interfaces.h"

#include <QList>
#include <QString>

#include <functional>

struct ShownMessage {
    hosting::MessageIcon icon;
    QString title;
    QString text;
};

class MessageRecorder final : public hosting::IControlSite {
public:
    void showMessage(hosting::MessageIcon icon, const QString &title, const QString &text) override
    {
        messages.append({icon, title, text});
        if (whileShown)
            whileShown();
    }

    QList<ShownMessage> messages;
    std::function<void()> whileShown; // runs as if during a modal message box
};

class EventRecorder final : public hosting::IEventSink {
public:
    void onEvent(hosting::DispId event, std::span<const hosting::Variant>) override
    {
        events.append(event);
    }

    QList<hosting::DispId> events;
};
