#!/usr/bin/env bash
# Fails when a file includes a header of a layer above its own or of protocol/ from a face, or
# when a widget-free layer includes a Qt Widgets or Qt Gui header or links those modules. The
# layers, each using only the ones listed after it:
#   app -> receiver, projector -> section -> model -> link -> protocol; fields and codec at the
#   bottom; form a leaf for the window and the sections; cli on the receiver model; sim on its own.
# The faces (section, receiver, projector, cli) ask the model what a setting sends and how its
# reply reads; only model/ and link/ (and app/, which wires the window) speak protocol/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

declare -A may_use=(
  [protocol]="protocol"
  [fields]="fields"
  [codec]="codec protocol fields"
  [link]="link protocol"
  [form]="form"
  [model]="model link protocol fields codec"
  [section]="section model link fields codec form"
  [receiver]="receiver section model link fields codec form"
  [projector]="projector section model link fields codec form"
  [app]="app receiver projector section model link protocol fields codec form"
  [cli]="cli model link fields codec"
  [sim]="sim protocol"
)
widget_free="protocol fields codec link model cli"
layers=" ${!may_use[*]} "

qt_include=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
gui_headers=$(ls "$qt_include/QtWidgets" "$qt_include/QtGui" 2>/dev/null | grep -E '^Q[A-Za-z0-9]+$' | sort -u)

status=0
fail() {
  echo "layering: $*" >&2
  status=1
}

for layer in "${!may_use[@]}"; do
  [ -d "$layer" ] || continue
  allowed=" ${may_use[$layer]} "
  while IFS= read -r file; do
    while IFS= read -r line; do
      header=${line#*\"}
      header=${header%%\"*}
      folder=${header%%/*}
      if [[ "$header" == */* && "$layers" == *" $folder "* && "$allowed" != *" $folder "* ]]; then
        fail "$file includes $header: $layer may not use $folder"
      fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
    if [[ " $widget_free " == *" $layer "* ]]; then
      while IFS= read -r line; do
        header=${line#*<}
        header=${header%%>*}
        name=${header##*/}
        if [[ "$header" == QtWidgets/* || "$header" == QtGui/* ]] \
          || { [[ "$header" != */* ]] && grep -qx -- "$name" <<<"$gui_headers"; }; then
          fail "$file includes <$header>: $layer knows no widgets"
        fi
      done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file" || true)
      if [[ "$file" == */ui_* || "$(grep -c 'ui_frm_main.h' "$file" || true)" != 0 ]]; then
        fail "$file includes the form: $layer knows no widgets"
      fi
    fi
  done < <(find "$layer" -type f \( -name '*.h' -o -name '*.cpp' \))
done

for layer in $widget_free; do
  [ -f "$layer/CMakeLists.txt" ] || continue
  above='form|section|receiver|projector|app'
  [ "$layer" = cli ] || above="$above|cli"
  if grep -nE "Qt6::(Widgets|Gui)|kz_($above)\b" "$layer/CMakeLists.txt"; then
    fail "$layer/CMakeLists.txt links a widget module or a layer above it"
  fi
done

[ "$status" = 0 ] && echo "layering: every include points down"
exit "$status"
