// Product texts shown by several windows.
#pragma once

#include <QString>

inline const QString ProductTitle = QStringLiteral("Zelvora视频转MP3格式转换器");
inline const QString ProductVersion = QStringLiteral("Ver:1.0.0.0");
inline const QString ProductSite = QStringLiteral("https://www.zelvora.example");
inline const QString ProductMail = QStringLiteral("support@zelvora.example");
// Beside the executable; opened through the shell by "帮助系统".
inline const QString HelpFileName = QStringLiteral("help.chm");
// The title of the file list's message boxes.
inline const QString MessageTitle = QStringLiteral("提示");
