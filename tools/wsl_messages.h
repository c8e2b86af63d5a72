#pragma once
// wsl.exe's own messages as the stand-in writes them, in UTF-16 as wsl.exe
// holds them; the tests compare what arrives with these.

namespace wsl_messages {

// No distribution installed, as a French Windows shows it: wsl.exe's
// messages follow the display language.
inline constexpr wchar_t NoDistribution[] =
    L"Le sous-syst\u00e8me Windows pour Linux n\u2019a aucune distribution install\u00e9e.\r\n"
    L"Vous pouvez r\u00e9soudre ce probl\u00e8me en installant une distribution :\r\n"
    L"\r\n"
    L"Utilisez \u00ab wsl.exe --install \u00bb pour installer.\r\n";

}  // namespace wsl_messages
