#!/usr/bin/env bash
# Makes the guide's pictures from the windows themselves: the workbench and its completion pop-up
# from win_help_tests, the host with its workbench from `make demo`. Writes docs/help/images/*.png,
# and the pictures the README shows too in docs/images; commit them with the guide. Environment:
# PRESET (win64).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${PRESET:-win64}
screens=build/$preset/screens
images=docs/help/images

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2 --target win_help_tests >/dev/null
rm -f "$screens"/help_*.bmp
ctest --preset "$preset" -R '^win_help_tests$' >/dev/null
scripts/demo.sh >/dev/null

mkdir -p "$images"
convert "$screens/help_workbench.bmp" -strip "$images/workbench.png"
convert "$screens/help_completion.bmp" -strip "$images/completion.png"
# The output pane, the find bar and a parameter hint, from win_workbench_tests: the README's
# pictures, which the guide's build takes from docs/images.
cmake --build --preset "$preset" -j2 --target win_workbench_tests >/dev/null
ctest --preset "$preset" -R '^win_workbench_tests$' >/dev/null
for name in output find hint; do
  convert "$screens/workbench_$name.bmp" -strip "docs/images/workbench_$name.png"
done
# The demo's whole desktop, trimmed to the host's window and
# scaled down to fit the viewer's page.
convert build/demo/screenshot.png -trim +repage -resize '70%' -strip "$images/host_workbench.png"
echo "help-screens: $(ls "$images" | tr '\n' ' ')"
