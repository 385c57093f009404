#include "confighandler.h"

#include "atomicfile.h"
#include "global.h"

#include <easylogging++.h>

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

bool ConfigHandler::writer(bool useCurrentConfig)
{
    const QMap<QString, QVariant>& map = useCurrentConfig ? Global::_configMap : Global::_defaultConfigMap;
    // The coefficient passes through a float on purpose: 1.1 is stored as
    // 1.100000023841858, the value every reader of the map has worked with.
    const float coefficient = map.value(Global::InstrumentCoefficientKey).toFloat();

    QJsonObject object;
    object.insert(Global::InstrumentCoefficientKey, static_cast<double>(coefficient));

    // Replaced whole or not at all, so a failed write keeps the old K.
    QString error;
    if (!writeFileAtomically(Global::ConfigFilePath, QJsonDocument(object).toJson(), &error)) {
        qDebug() << "无法打开文件进行写入!" << error;
        return false;
    }
    return true;
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

bool ConfigHandler::storeCoefficient(float coefficient)
{
    const QVariant previous = Global::_configMap.value(Global::InstrumentCoefficientKey);
    Global::_configMap.insert(Global::InstrumentCoefficientKey, QVariant(coefficient));
    if (writer(true))
        return true;
    if (previous.isValid())
        Global::_configMap.insert(Global::InstrumentCoefficientKey, previous);
    else
        Global::_configMap.remove(Global::InstrumentCoefficientKey);
    return false;
}

// The reader loads 0 for a missing or non-numeric member and leaves the key
// out after a failed read; every such K would make each enthalpy 0 (or, when
// negative, turn its sign), so it is worth telling the user.
bool ConfigHandler::coefficientUsable()
{
    bool isNumber = false;
    const double coefficient = Global::_configMap.value(Global::InstrumentCoefficientKey).toDouble(&isNumber);
    return isNumber && std::isfinite(coefficient) && coefficient > 0.0;
}
