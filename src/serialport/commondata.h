#ifndef COMMONDATA_H
#define COMMONDATA_H

#include <QMetaType>
#include <QtGlobal>

#include <cstddef>

// Run state reported by the instrument in the first byte of its variable area.
enum RunStatus : quint8
{
    RunStatusIdle = 0,
    RunStatusHeating = 1,
    RunStatusIsothermal = 2,
    RunStatusCooling = 3,
    RunStatusRateSelfTuning = 4
};

// Fault word of the instrument (byte 38 of its variable area).
enum FaultCode : quint8
{
    FaultNormal = 0,
    FaultColdJunctionTemperature = 1,
    FaultAcquisitionBoard = 2,
    FaultSampleTemperature = 3,
    FaultDsc = 4,
    FaultHeatingModule = 5
};

// The instrument's variable area as a byte image indexed by device address.
// Packed and little-endian like the wire, so a frame's data bytes are copied
// in at their address unchanged. A record starts as 260 zero bytes.
#pragma pack(push, 1)
struct CommonData
{
    static constexpr int Size = 260;

    quint8 runStatus{}; // 0: a RunStatus
    quint8 stage{}; // 1: current stage number
    float runTime{}; // 2: min
    float constantTempTime{}; // 6: elapsed hold time, min
    double sampleTemp{}; // 10: ℃
    double dsc{}; // 18: mW
    quint8 reserved26[12]{}; // 26
    quint8 errorCode{}; // 38: a FaultCode
    quint8 atmosphere{}; // 39: 1 N2, 2 O2, else NC
    quint8 reserved40[4]{}; // 40
    quint8 runFlag{}; // 44 (0x002C): 1 running, 0 stopped
    quint8 reserved45[35]{}; // 45
    quint8 stageArea[6][15]{}; // 80 (0x0050)
    quint8 reserved170[90]{}; // 170

    quint8* bytes() { return reinterpret_cast<quint8*>(this); }
    const quint8* bytes() const { return reinterpret_cast<const quint8*>(this); }
};
#pragma pack(pop)

static_assert(sizeof(CommonData) == CommonData::Size, "CommonData must stay a 260-byte image");
static_assert(offsetof(CommonData, sampleTemp) == 10, "sample temperature at address 10");
static_assert(offsetof(CommonData, dsc) == 18, "DSC signal at address 18");
static_assert(offsetof(CommonData, errorCode) == 38, "fault code at address 38");
static_assert(offsetof(CommonData, runFlag) == 44, "run flag at address 0x002C");
static_assert(offsetof(CommonData, stageArea) == 80, "stage area at address 0x0050");

Q_DECLARE_METATYPE(CommonData)

#endif // COMMONDATA_H
