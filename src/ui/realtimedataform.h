#ifndef REALTIMEDATAFORM_H
#define REALTIMEDATAFORM_H

#include <QWidget>

class Ui_RealTimeDataForm;
struct CommonData;

class RealTimeDataForm : public QWidget
{
    Q_OBJECT

public:
    explicit RealTimeDataForm(QWidget* parent = nullptr);
    ~RealTimeDataForm() override;

    void recvCommonData(const CommonData& data);

private:
    Ui_RealTimeDataForm* _ui;
};

#endif // REALTIMEDATAFORM_H
