#include "main_form.h"

MainForm::MainForm(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    resize(1024, 768);
}
