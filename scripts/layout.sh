# The layout of the distribution: which built file goes where. Sourced, from the
# repository's top folder, by scripts/package (dist/) and scripts/run-mendora (the
# repair tool's folder under Wine).
#
#   win32/  Mendora.exe  SkinH_VB6.dll  1.she          the repair tool as it ships
#           ocx/  Tesvar.ocx  SkinH_VB6.dll  (+ the third-party redistributables)
#   win64/  Tesvar.ocx  tesvar.exe                     for 64-bit hosts
#
# Each *_layout function sets `layout`: pairs of a built file and its place in the folder.

# The third-party files of the repair tool's ocx folder. They are not ours and never
# enter the repository: whoever packages names the folder that holds them.
third_party=(image.ocx gif.ocx EFMTIcn.ocx COMDLG32.OCX MSCOMCTL.OCX MSINET.OCX TABCTL32.OCX MSWINSCK.OCX NSkin.dll)

# mendora_layout BUILD: the repair tool's folder, from the build tree BUILD (win32 ships).
mendora_layout() {
  layout=(
    "$1/src/window/Mendora.exe" Mendora.exe
    "$1/src/skin/SkinH_VB6.dll" SkinH_VB6.dll
    src/skin/1.she 1.she
    "$1/src/profilectl/ocx/Tesvar.ocx" ocx/Tesvar.ocx
    "$1/src/skin/SkinH_VB6.dll" ocx/SkinH_VB6.dll
  )
}

# host_layout BUILD: the control and the tesvar tool for 64-bit hosts (from win64).
host_layout() {
  layout=(
    "$1/src/profilectl/ocx/Tesvar.ocx" Tesvar.ocx
    "$1/src/profilectl/tool/tesvar.exe" tesvar.exe
  )
}

# lay_out PRESET FOLDER: makes FOLDER afresh with the files of `layout`. Fails, before
# touching FOLDER, when one is missing, saying which preset to build.
lay_out() {
  local preset=$1 folder=$2 i
  for ((i = 0; i < ${#layout[@]}; i += 2)); do
    [ -f "${layout[i]}" ] || { echo "${0##*/}: ${layout[i]} is missing: run make $preset first" >&2; return 1; }
  done
  rm -rf "$folder"
  for ((i = 0; i < ${#layout[@]}; i += 2)); do
    mkdir -p "$folder/$(dirname "${layout[i + 1]}")"
    cp "${layout[i]}" "$folder/${layout[i + 1]}"
  done
}
