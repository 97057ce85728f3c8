# Sourced by check_install.sh and check_package.sh: what an installation below a prefix must hold.
#
#     check_layout PREFIX BINDIR DATADIR MANDIR DOCDIR   (the last four relative to PREFIX)
#
# Each missing piece goes through the caller's fail function.
check_layout() {
    local prefix=$1 bindir=$2 datadir=$3 mandir=$4 docdir=$5
    for program in zeb zeb-reg orvane-engine; do
        [ -x "$prefix/$bindir/$program" ] || fail "$bindir/$program is not installed"
    done
    local desktop=$prefix/$datadir/applications/zeb.desktop
    if [ -f "$desktop" ]; then
        # The entry must start a program that the installation holds.
        local exec_line
        exec_line=$(sed -n 's/^Exec=//p' "$desktop")
        [ -x "$prefix/$bindir/${exec_line%% *}" ] || fail "zeb.desktop runs '$exec_line', which is not installed"
        grep -qx 'Type=Application' "$desktop" || fail "zeb.desktop is not an application entry"
    else
        fail "$datadir/applications/zeb.desktop is not installed"
    fi
    for page in zeb.1 zeb-reg.1; do
        [ -f "$prefix/$mandir/man1/$page" ] || [ -f "$prefix/$mandir/man1/$page.gz" ] ||
            fail "$mandir/man1/$page is not installed"
    done
    for document in engine-protocol.md sample-hosts.reg; do
        [ -f "$prefix/$docdir/$document" ] || fail "$docdir/$document is not installed"
    done
    # The installed tool works on its own, away from the build tree.
    if [ -x "$prefix/$bindir/zeb-reg" ]; then
        ZEB_REGISTRY=$prefix/registry.db "$prefix/$bindir/zeb-reg" /? | grep -q '^zeb-reg OPERATION' ||
            fail "the installed zeb-reg does not show its help"
    fi
}
