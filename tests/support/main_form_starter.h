#pragma once

#include "gui/app/main_form.h"
#include "gui/app/page_layout.h"
#include "gui/i18n/language_controller.h"
#include "gui/links/connection_panel.h"
#include "gui/links/port_scan.h"
#include "gui/loadprofile/download_pace.h"
#include "loadprofile/block_download.h"
#include "loadprofile/date_search_job.h"
#include "recording_messages.h"
#include "session/poll_cycle.h"
#include "start_form_answer.h"
#include "test_paths.h"

#include <memory>

// Starts the main window as the program does, answering the start form.
struct StartedMainForm {
    testsupport::RecordingMessages messages;
    std::unique_ptr<app::MainForm> window;
    bool loaded = false;

    explicit StartedMainForm(const testsupport::StartFormAnswer &answer = {},
                             const QString &programDir = testsupport::binDir())
        : window(std::make_unique<app::MainForm>(messages, programDir))
    {
        testsupport::answerStartFormWhenShown(answer);
        loaded = window->Form_Load();
    }

    template <class T>
    T *control(const QString &name) const
    {
        return window->controls().require<T>(name);
    }
};

namespace testsupport {

// Makes the window tall enough that its whole page shows without scrolling,
// for pictures of every band at once.
inline void showWholePage(app::MainForm &window)
{
    window.resize(window.width(), window.height() + window.pageScroller().contentHeight()
                                      - window.centralWidget()->height());
}

} // namespace testsupport
