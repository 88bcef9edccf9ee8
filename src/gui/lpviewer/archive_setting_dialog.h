#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace lpviewer {

// frmArchiveSetting: which archive the window (and the command-line tool of
// this user) keeps load-profile records in: empty for the user's archive
// file, another file, or a shared PostgreSQL database written
// postgresql://USER@HOST[:PORT]/DB. Its password is never typed here: it
// comes from ~/.pgpass or PGPASSWORD. OK saves the choice; a text that names
// no usable archive is told under the field and nothing is saved.
class ArchiveSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit ArchiveSettingDialog(QWidget *parent);

    // Shows the saved choice and opens the dialog (modal to its window).
    void edit();

private:
    void save();

    QLineEdit *location_ = nullptr;
    QLabel *error_ = nullptr;
};

} // namespace lpviewer
