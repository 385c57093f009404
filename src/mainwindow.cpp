#include "mainwindow.h"

#include "ui_mainwindow.h"

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    Q_INIT_RESOURCE(images);
    ui->setupUi(this);
}

MainWindow::~MainWindow()
{
    delete ui;
}
