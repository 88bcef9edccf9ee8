#include "gui/ui/confirm_dialog.h"

#include "gui/ui/named_controls.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace ui {

Dialog_Clr_kWh::Dialog_Clr_kWh(QWidget *parent)
    : QDialog(parent), Label1(makeNamedLabel(this, QStringLiteral("Label1"),
                                             QStringLiteral("Clear All Accumulation Value?"))),
      OKButton(makeNamed<QPushButton>(this, "OKButton")),
      CancelButton(makeNamed<QPushButton>(this, "CancelButton"))
{
    setObjectName(QStringLiteral("Dialog_Clr_kWh"));
    setModal(true);
    Label1->setWordWrap(true);
    Label1->setMinimumWidth(320);
    OKButton->setText(QStringLiteral("YES"));
    CancelButton->setText(QStringLiteral("NO"));
    // NO is the answer that changes nothing: Enter alone must not confirm.
    CancelButton->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, &Dialog_Clr_kWh::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Dialog_Clr_kWh::CancelButton_Click);
}

Dialog_Clr_kWh *Dialog_Clr_kWh::of(QWidget *window)
{
    auto *dialog = window->findChild<Dialog_Clr_kWh *>(QString(), Qt::FindDirectChildrenOnly);
    return dialog ? dialog : new Dialog_Clr_kWh(window);
}

bool Dialog_Clr_kWh::ask(const QString &question, const QString &yesText, const QString &noText)
{
    Label1->setText(question);
    OKButton->setText(yesText);
    CancelButton->setText(noText);
    Form_Load();
    exec();
    return Confirmed;
}

void Dialog_Clr_kWh::OKButton_Click()
{
    Confirmed = true;
    accept();
}

void Dialog_Clr_kWh::CancelButton_Click()
{
    Confirmed = false;
    reject();
}

} // namespace ui
