#pragma once

#include <QString>

namespace ui {

// The one seam every message box of the program goes through, so that tests
// can answer and inspect messages and never block on a modal window.
enum class MessageKind {
    Critical,    // critical icon, OK button
    Exclamation, // exclamation icon, OK button
    YesNo,       // question with Yes and No buttons
    Plain,       // no icon, OK button
};

enum class MessageAnswer { Ok, Yes, No };

class Messages {
public:
    virtual ~Messages() = default;
    // Shows a modal message. An empty title means the program's own name.
    virtual MessageAnswer show(MessageKind kind, const QString &title, const QString &text) = 0;
};

} // namespace ui
