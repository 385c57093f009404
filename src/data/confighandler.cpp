#include "confighandler.h"

#include "global.h"

#include <easylogging++.h>

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

void ConfigHandler::writer(bool useCurrentConfig)
{
    const QMap<QString, QVariant>& map = useCurrentConfig ? Global::_configMap : Global::_defaultConfigMap;
    // The coefficient passes through a float on purpose: 1.1 is stored as
    // 1.100000023841858, the value every reader of the map has worked with.
    const float coefficient = map.value(Global::InstrumentCoefficientKey).toFloat();

    QJsonObject object;
    object.insert(Global::InstrumentCoefficientKey, static_cast<double>(coefficient));

    QFile file(Global::ConfigFilePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug() << "无法打开文件进行写入!";
        return;
    }
    file.write(QJsonDocument(object).toJson());
    file.close();
}

void ConfigHandler::reader()
{
    QFile file(Global::ConfigFilePath);
    if (file.exists())
        LOG(DEBUG) << "config file existed. ";
    else
        writer(false);

    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "file open failed.";
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        qDebug() << "JSON解析错误:" << error.errorString();
        return;
    }
    const double coefficient = document.object().value(Global::InstrumentCoefficientKey).toDouble(0.0);
    Global::_configMap.insert(Global::InstrumentCoefficientKey, QVariant(coefficient));
}
