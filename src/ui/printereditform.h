#ifndef PRINTEREDITFORM_H
#define PRINTEREDITFORM_H

#include <QWidget>

class Ui_PrinterEditForm;

// Sample information, a six-stage programme and an X/Y pair laid out for a
// printed page; no window of the program opens it.
class PrinterEditForm : public QWidget
{
    Q_OBJECT

public:
    explicit PrinterEditForm(QWidget* parent = nullptr);
    ~PrinterEditForm() override;

private:
    Ui_PrinterEditForm* _ui;
};

#endif // PRINTEREDITFORM_H
