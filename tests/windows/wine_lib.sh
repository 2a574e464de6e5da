# Shared by the Wine end-to-end scripts.

# Quiet Wine, in the prefix that PRALLWERK_GUI_WINEPREFIX names, with no
# Wine server left from an earlier run. The scripts' exit traps end theirs.
fresh_wine() {
    export WINEDEBUG=-all
    [ -n "${PRALLWERK_GUI_WINEPREFIX:-}" ] && export WINEPREFIX="$PRALLWERK_GUI_WINEPREFIX"
    wineserver -k 2>/dev/null
    return 0
}
