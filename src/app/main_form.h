#pragma once

#include <QMainWindow>

// The main window. Its content is built up subsystem by subsystem.
class MainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit MainForm(QWidget *parent = nullptr);
};
