#!/usr/bin/env bash
# east_asian_fonts.sh --- gives the Wine prefix in $WINEPREFIX real Chinese, Japanese and Korean
# letters. The East Asian fonts of Windows are not Wine's: the dialog fonts of those languages, and
# the ones Wine links its own user interface font to for their letters, are each drawn with
# WenQuanYi Micro Hei (Debian's fonts-wqy-microhei), which has all three scripts, so that dialogs
# and setups in those languages are measured and photographed with letters, not empty boxes.
set -eu
for font in 'ＭＳ Ｐゴシック' '宋体' '新細明體' '굴림' 'MS UI Gothic' 'SimSun' 'PMingLiU' 'Gulim'; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
done
