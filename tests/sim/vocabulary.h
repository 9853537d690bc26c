#pragma once

#include <QByteArray>

#include <ostream>
#include <vector>

// The receiver's command prefixes with the value that a query of each answers on a freshly
// started three-input receiver, written out here so that a changed constant shows up as a failure.
struct QueryCase
{
    const char *name;
    QByteArray prefix;
    QByteArray value;
};

inline void PrintTo(const QueryCase &c, std::ostream *os)
{
    *os << c.name;
}

inline std::vector<QueryCase> fresh_receiver_queries()
{
    return {
        { "IdentifyTx", "WP_IdentifyTx[", "TX" },
        { "Aspect", "WP_Aspect[", "Full" },
        { "VgaAuto", "WP_VgaAuto[", "" },
        { "Info", "WP_Info[", "V1.05" },
        { "Output", "WP_Output[", "0" },
        { "OverscanEn", "WP_OverscanEn[", "No" },
        { "OverscanH", "WP_OverscanH[", "0" },
        { "OverscanV", "WP_OverscanV[", "0" },
        { "AudioEn", "WP_AudioEn[", "On" },
        { "AudioHdmi", "WP_AudioHdmi[", "On" },
        { "AudioLR", "WP_AudioLR[", "On" },
        { "SystemRst", "WP_SystemRst[", "" },
        { "AutoOff", "WP_AutoOff[", "0" },
        { "DisplayMode", "WP_DisplayMode[", "AlwaysOn" },
        { "Display", "WP_Display[", "On" },
        { "Input", "WP_Input[", "Hdmi1" },
        { "HdcpInput", "WP_HdcpInput[", "Auto" },
        { "InputPrefer", "WP_InputPrefer[", "12" },
        { "InfoTx", "WP_InfoTx[", "V1.02" },
        { "BaudrateTx", "WP_BaudrateTx[", "115200" },
        { "ProjSW", "WP_ProjSW[", "30" },
        { "AutoDispOn", "WP_AutoDispOn[", "On" },
        { "AutoDispOff", "WP_AutoDispOff[", "On" },
        { "PictureBri", "WP_PictureBri[", "50" },
        { "PictureCon", "WP_PictureCon[", "50" },
        { "PictureSat", "WP_PictureSat[", "50" },
        { "PictureHue", "WP_PictureHue[", "50" },
        { "PictureSha", "WP_PictureSha[", "30" },
        { "PictureRst", "WP_PictureRst[", "" },
        { "KeyMenu", "WP_KeyMenu[", "" },
        { "KeyMinus", "WP_KeyMinus[", "" },
        { "KeyPlus", "WP_KeyPlus[", "" },
        { "DisplaySet", "WP_DisplaySet[", "9600,8,N,1" },
        { "DisplayOn", "WP_DisplayOn[", QByteArray("7,PWR ON\r") },
        { "DisplayOff", "WP_DisplayOff[", QByteArray("8,PWR OFF\r") },
    };
}

// A setting the receiver stores, and the value it then reports.
struct SettingCase
{
    const char *name;
    QByteArray prefix;
    QByteArray argument;
};

inline void PrintTo(const SettingCase &c, std::ostream *os)
{
    *os << c.name;
}

inline std::vector<SettingCase> storable_settings()
{
    return {
        { "Aspect", "WP_Aspect[", "16:10" },
        { "Output", "WP_Output[", "14" },
        { "OverscanEn", "WP_OverscanEn[", "Yes" },
        { "OverscanH", "WP_OverscanH[", "50" },
        { "OverscanV", "WP_OverscanV[", "1" },
        { "AudioEn", "WP_AudioEn[", "Off" },
        { "AudioHdmi", "WP_AudioHdmi[", "Off" },
        { "AudioLR", "WP_AudioLR[", "Off" },
        { "AutoOff", "WP_AutoOff[", "3600" },
        { "DisplayMode", "WP_DisplayMode[", "DispSWAVSW" },
        { "Display", "WP_Display[", "Off" },
        { "Input", "WP_Input[", "Hdmi2" },
        { "HdcpInput", "WP_HdcpInput[", "NotHDCP" },
        { "InputPrefer", "WP_InputPrefer[", "0" },
        { "BaudrateTx", "WP_BaudrateTx[", "9600" },
        { "ProjSW", "WP_ProjSW[", "300" },
        { "AutoDispOn", "WP_AutoDispOn[", "Off" },
        { "AutoDispOff", "WP_AutoDispOff[", "Off" },
        { "PictureBri", "WP_PictureBri[", "0" },
        { "PictureCon", "WP_PictureCon[", "100" },
        { "PictureSat", "WP_PictureSat[", "7" },
        { "PictureHue", "WP_PictureHue[", "99" },
        { "PictureSha", "WP_PictureSha[", "100" },
        { "DisplaySetEven", "WP_DisplaySet[", "19200,7,E,2" },
        { "DisplaySetMark", "WP_DisplaySet[", "115200,5,M,1.5" },
    };
}

inline QByteArray query(const QByteArray &prefix)
{
    return prefix + "?]$\r";
}

inline QByteArray framed(const QByteArray &prefix, const QByteArray &argument)
{
    return prefix + argument + "]$\r";
}

// The bytes of a literal, zero bytes included.
template <qsizetype N> QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}
