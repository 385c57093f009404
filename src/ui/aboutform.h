#ifndef ABOUTFORM_H
#define ABOUTFORM_H

#include <QWidget>

class Ui_AboutForm;

// The About box: logo, title, software version and a short notice.
class AboutForm : public QWidget
{
    Q_OBJECT

public:
    explicit AboutForm(QWidget* parent = nullptr);
    ~AboutForm() override;

public slots:
    void on_pushButtonClose_clicked();

private:
    void showLogo();
    void showTitle();
    void showContent();
    void fitContent();

    Ui_AboutForm* _ui;
};

#endif // ABOUTFORM_H
