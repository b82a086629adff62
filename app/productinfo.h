#pragma once

// Who and what this program is, as the About box shows it and the update check sends it.
inline constexpr char productVersion[] = "2.3.2";
// The product web site: downloads, and the update check's answer.
inline constexpr char productHost[] = "velmora.halvane.net";
inline constexpr char supportAddress[] = "support@halvane.net";
