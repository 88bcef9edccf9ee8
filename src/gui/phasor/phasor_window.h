#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

namespace links {
class LinkState;
}
namespace ui {
class Messages;
}
namespace meter {
struct Reading;
}
namespace hosting {
class IControl;
}

namespace phasor {

// Language texts of the phasor window, and the language code that sizes one
// of its captions.
struct PhaserCaptions {
    QString Phaser_La7, Phaser_La51, Phaser_La52, Phaser_La2_5, Phaser_La2_54, Phaser_End;
    int languageCode = 0;
};

// The phasor window (form Phaser): the meter's identity, a table of the three
// phase voltages, currents, their angles and power factors, and the phasor
// diagram control Phaser1. Every 500 ms it shows these values of the reading,
// as the main window shows them, and hands twelve of them to the control.
class PhaserForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 500;

    // reading: the meter's reading, asked for anew at every refresh.
    PhaserForm(std::function<const meter::Reading &()> reading, ui::Messages &messages, QWidget *parent);
    ~PhaserForm() override;

    void applyCaptions(const PhaserCaptions &captions);
    // Creates the diagram control, starts the refresh and refreshes once.
    void Form_Load();
    void Timer1s_Timer();
    void cmdPhaserEnd_Click();

    QTimer Timer1s;
    // The diagram, or null when the control could not be created.
    hosting::IControl *Phaser1 = nullptr;
    // Result of the last SetPwrData call.
    bool lastDrawn = false;

signals:
    void closedByUser();

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    // Hands twelve values of the table to the diagram.
    void drawDiagram();

    std::function<const meter::Reading &()> reading_;
    ui::Messages &messages_;
    std::array<QLineEdit *, 15> txtResult1_{};
    QWidget *diagramArea_ = nullptr;
    class SiteAdapter;
    std::unique_ptr<SiteAdapter> site_;
};

// The main window's part: the phasor button raises the request
// (PhasorRequested), the end of a poll cycle starts Timer1 while it is
// raised, and Timer1 opens the window, modal to the main window while the
// main window's timers keep running. Closing the window lowers the request.
class PhasorLauncher : public QObject {
    Q_OBJECT
public:
    static constexpr int kOpenDelayMs = 100;

    // The phasor buttons of the window are usable while the link is online.
    // reading: what the meter's poll cycle read.
    PhasorLauncher(std::function<const meter::Reading &()> reading, links::LinkState &link, ui::Messages &messages,
                   std::function<PhaserCaptions()> captions, QWidget *window);

    void cmdPhaseShow_Click();
    bool phasorRequested() const { return PhasorRequested; }
    // The end of a poll cycle: while the window is requested, Timer1 opens it.
    void windowDue();
    void Timer1_Timer();
    // Stops Timer1 (the main window closes, or starts anew).
    void stopTimer() { Timer1.stop(); }

    QTimer Timer1;
    // The open phasor window, if any.
    PhaserForm *form() const { return form_; }

private:
    void closed();

    std::function<const meter::Reading &()> reading_;
    ui::Messages &messages_;
    std::function<PhaserCaptions()> captions_;
    QWidget *window_;
    PhaserForm *form_ = nullptr;
    bool PhasorRequested = false;
};

} // namespace phasor
