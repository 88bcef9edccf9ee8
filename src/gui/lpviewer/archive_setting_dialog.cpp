#include "gui/lpviewer/archive_setting_dialog.h"

#include "archive/archive_setting.h"
#include "gui/lpviewer/keyed_control.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lpviewer {

using lpviewer::keyed;

ArchiveSettingDialog::ArchiveSettingDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmArchiveSetting"));
    setWindowTitle(QStringLiteral("Load-profile archive"));
    ui::setCaptionKey(this, lpviewer::kCaptionSection, "lpviewer_ArchiveTitle");
    auto *caption = keyed(this, "txtArchiveLocationCaption",
                          "Archive: empty for this user's archive file, a file, or postgresql://USER@HOST[:PORT]/DB",
                          "lpviewer_ArchiveLocation");
    caption->setWordWrap(true);
    location_ = ui::makeNamed<QLineEdit>(this, "txtArchiveLocation");
    location_->setMinimumWidth(location_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 64);
    location_->setPlaceholderText(archive::chosenArchive());
    caption->setBuddy(location_);
    auto *password = keyed(this, "txtArchivePasswordNote",
                           "The password of a PostgreSQL archive is never typed here: it comes from ~/.pgpass "
                           "or PGPASSWORD.",
                           "lpviewer_ArchivePassword");
    password->setWordWrap(true);
    error_ = ui::makeNamed<QLabel>(this, "txtArchiveSettingError");
    error_->setWordWrap(true);
    error_->setStyleSheet(QStringLiteral("color: #b00020"));
    error_->hide();
    auto *ok = ui::makeNamed<QPushButton>(this, "cmdArchiveSettingOk");
    ok->setText(QStringLiteral("OK"));
    ok->setDefault(true);
    auto *cancel = keyed<QPushButton>(this, "cmdArchiveSettingCancel", "Cancel", "lpviewer_Cancel");

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    // Wrapped captions get the height their width needs, also when the
    // error line appears.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addWidget(caption);
    layout->addWidget(location_);
    layout->addWidget(password);
    layout->addWidget(error_);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &ArchiveSettingDialog::save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ArchiveSettingDialog::edit()
{
    location_->setText(archive::savedArchiveChoice());
    error_->hide();
    open();
}

void ArchiveSettingDialog::save()
{
    QString error;
    if (!archive::saveArchiveChoice(location_->text(), &error)) {
        error_->setText(error);
        error_->show();
        adjustSize();
        location_->setFocus();
        return;
    }
    accept();
}

} // namespace lpviewer
