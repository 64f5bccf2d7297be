#include "pages/enable_table.h"

namespace quenda {

bool enabledFor(EnableWhen when, const EnableInputs& in) {
    const bool sensor = in.connected && in.tempWater != 0x7FFF;
    switch (when) {
    case EnableWhen::Connected: return in.connected;
    case EnableWhen::ConnectedManual: return in.connected && in.mode == 0;
    case EnableWhen::FanOffAllowed: return in.connected && in.fanMode != 1;
    case EnableWhen::WeatherTrigger: return in.connected && (in.mode == 1 || in.mode == 2);
    case EnableWhen::Sensor: return sensor;
    case EnableWhen::SlaveSensor: return in.connected && in.tempSlave != 0x7FFF;
    case EnableWhen::WaterHysteresis: return sensor && !in.fanByBrightness;
    }
    return false;
}

namespace {
QStringList perChannel(std::initializer_list<const char*> prefixes) {
    QStringList out;
    for (const char* p : prefixes)
        for (int n = 0; n < 12; ++n) out << QString::fromLatin1(p) + QString::number(n);
    return out;
}
QStringList perChannelWeatherRows() {
    // The delay, moon and balance pages: a label and an edit/track bar pair per channel.
    return perChannel({"lblWeatherDelay", "edtWeatherDelay", "trbWeatherDelay", "lblMoon", "edtMoon", "trbMoon",
                       "lblBalance", "edtBalance", "trbBalance"});
}
} // namespace

const std::vector<EnableRule>& enableTable() {
    static const std::vector<EnableRule> table = {
        {{"mnuScheduleImport", "mnuConfigImport", "mnuScheduleConfigExport", "mnuModeManual", "mnuModeAuto",
          "mnuModeGeo", "mnuModeRGBDemo", "mnuModeFlash", "mnuRefresh", "mnuSaveEEPROM", "mnuStepBig",
          "mnuIRLearn", "mnuHealth", "mnuLoadReef", "mnuAllOff", "mnuAll20", "mnuAllOn", "mnuSetTimeDate"},
         EnableWhen::Connected},
        {perChannel({"lblName", "cmbName"}), EnableWhen::Connected},
        {perChannel({"trb", "edt", "btnOff", "btnOn"}), EnableWhen::ConnectedManual},
        {{"tsSchedule", "memDescription", "tsVisualize", "lblVisualize", "cmbVisualize", "cbxTimeLock"},
         EnableWhen::Connected},
        {{"edtTimeLapse", "trbTimeLapse", "btnRealtime", "edtLCDBLMax", "trbLCDBLMax", "edtLCDBLMin",
          "trbLCDBLMin", "edtLCDBLNight", "trbLCDBLNight", "edtFanHigh", "trbFanHigh", "edtFanLow", "trbFanLow"},
         EnableWhen::Connected},
        {{"edtFanOff", "trbFanOff"}, EnableWhen::FanOffAllowed},
        {{"edtCloudCount", "trbCloudCount", "edtCloudSeconds", "trbCloudSeconds", "edtStormCount",
          "trbStormCount", "edtStormMinutes", "trbStormMinutes", "lblCloudRatio", "lblStormRatio",
          "edtCloudAlpha", "trbCloudAlpha", "edtStormAlpha", "trbStormAlpha", "edtCloudStep", "trbCloudStep",
          "edtStormStep", "trbStormStep", "edtLightningP", "trbLightningP"},
         EnableWhen::Connected},
        {{"btnCloud", "btnStorm"}, EnableWhen::WeatherTrigger},
        {perChannelWeatherRows() + QStringList{"lblWeatherDelay", "lblMoon", "lblBalance", "edtBalanceSum",
                                               "trbBalanceSum"},
         EnableWhen::Connected},
        {perChannel({"edtLightningMask"}) +
             QStringList{"imgTemp", "edtPWMPrescaler", "lblPWMPrescaler", "edtTWIBitrate", "lblTWIBitrate",
                         "edtCloudTempBoard", "edtBalanceSumRamp", "rbtFMOLED", "rbtCHMTempBoard", "rbtCHMVoltage",
                         "edtChartInterval", "edtChartScale", "edtRandomInit", "edtTimeZoneStandardMonth",
                         "edtTimeZoneStandardDay", "edtTimeZoneStandardHour", "edtTimeZoneStandardDayOfWeek",
                         "edtTimeZoneDaylightMonth", "edtTimeZoneDaylightDay", "edtTimeZoneDaylightHour",
                         "edtTimeZoneDaylightDayOfWeek", "edtTimeZoneBias", "btnApplyTZI", "lblLanguage",
                         "cmbLanguage", "rbtCelsius", "rbtFahrenheit", "rbt12h", "rbt24h", "rbt16x2", "rbt20x4"},
         EnableWhen::Connected},
        {{"edtTempOffset", "edtCloudTempWater", "rbtFMOWater", "rbtFMOWaterMaster", "rbtCHMTempWater",
          "rbtJMPCooler", "rbtJMPHeater", "edtTempCoolLow", "edtTempCoolHigh", "edtTempHeatLow", "edtTempHeatHigh"},
         EnableWhen::Sensor},
        {{"rbtCHMTempSlave"}, EnableWhen::SlaveSensor},
        {{"edtTempWaterLow", "edtTempWaterHigh"}, EnableWhen::WaterHysteresis},
        {{"rbtJMPIRLearn", "rbtJMPCloud", "rbtJMPStorm", "rbtJMPLightning", "rbtJMPTimer", "rbtJMPServo",
          "rbtJMPPWM", "lblJMPWarning1", "lblJMPWarning2"},
         EnableWhen::Connected},
        {{"memRC433", "cbxRC433System1", "cbxRC433System2", "cbxRC433System3", "cbxRC433System4",
          "cbxRC433System5"},
         EnableWhen::Connected},
    };
    return table;
}

} // namespace quenda
