#!/bin/sh
# Writes the qorvex(1) manual page from docs/cli.md, so the reference exists
# once: edit the Markdown, then run this and commit both files.
#
#   scripts/make-manpage.sh [docs/cli.md] [docs/qorvex.1]
#
# It knows the subset of Markdown that docs/cli.md uses: headings, paragraphs,
# fenced code blocks, bullet lists, pipe tables (each row becomes a tagged
# paragraph), inline code and bold. Only POSIX sh and awk are needed.
set -eu
here=$(dirname "$0")
in=${1:-$here/../docs/cli.md}
out=${2:-$here/../docs/qorvex.1}
tmp="$out.new.$$"
trap 'rm -f "$tmp"' EXIT INT TERM

awk '
function esc(s) {
    gsub(/\\/, "\\e", s)
    gsub(/-/, "\\-", s)
    return s
}
# Inline markup: `code` and **bold** become bold; [text](link) keeps both.
# Applied to a whole paragraph, since a code span may cross a line break.
function inline(s,    link, parts, text, url) {
    s = esc(s)
    while (match(s, /\[[^]]*\]\([^)]*\)/)) {
        link = substr(s, RSTART, RLENGTH)
        split(link, parts, /\]\(/)
        text = substr(parts[1], 2)
        url = parts[2]; sub(/\)$/, "", url)
        s = substr(s, 1, RSTART - 1) text " (" url ")" substr(s, RSTART + RLENGTH)
    }
    while (match(s, /\*\*[^*]+\*\*/))
        s = substr(s, 1, RSTART - 1) "\\fB" substr(s, RSTART + 2, RLENGTH - 4) "\\fR" substr(s, RSTART + RLENGTH)
    while (match(s, /`[^`]*`/))
        s = substr(s, 1, RSTART - 1) "\\fB" substr(s, RSTART + 1, RLENGTH - 2) "\\fR" substr(s, RSTART + RLENGTH)
    gsub(/ — /, " \\(em ", s)
    gsub(/—/, "\\(em", s)
    gsub(/…/, "...", s)
    gsub(/·/, "*", s)
    return s
}
# Prints text line by line, guarding lines that troff would take as requests.
function emit(s,    n, i, ln) {
    n = split(s, ln, "\n")
    for (i = 1; i <= n; i++) {
        if (ln[i] ~ /^[.\047]/) ln[i] = "\\&" ln[i]
        sub(/^[ \t]+/, "", ln[i])
        print ln[i]
    }
}
function flush(    t) {
    if (para == "") return
    t = inline(para)
    if (section == "NAME") sub(/^\\fBqorvex\\fR \\\(em /, "qorvex \\- ", t)
    emit(t)
    para = ""
}
function cells(row,    n, i, t) {
    sub(/^\|/, "", row); sub(/\|[ \t]*$/, "", row)
    n = split(row, cell, /\|/)
    for (i = 1; i <= n; i++) { t = cell[i]; sub(/^[ \t]+/, "", t); sub(/[ \t]+$/, "", t); cell[i] = t }
    return n
}
function flush_row(row,    n, i, rest) {
    n = cells(row)
    print ".TP"
    emit(inline(cell[1]))
    rest = ""
    for (i = 2; i <= n; i++) rest = rest (i > 2 ? "; " : "") cell[i]
    emit(inline(rest))
}
BEGIN { incode = 0; pending_row = ""; para = ""; section = "" }
{
    if (incode) {
        if ($0 ~ /^```/) { print ".fi"; print ".RE"; incode = 0; next }
        s = $0; gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s)
        if (s ~ /^[.\047]/) s = "\\&" s
        print s
        next
    }
    # A table row; the row just before a |---| line is the header, dropped.
    if ($0 ~ /^\|/) {
        flush()
        if ($0 ~ /^\|[ \t:|-]+$/) { pending_row = ""; next }
        if (pending_row != "") flush_row(pending_row)
        pending_row = $0
        next
    }
    if (pending_row != "") { flush_row(pending_row); pending_row = "" }
    if ($0 ~ /^```/) { flush(); print ".PP"; print ".RS 4"; print ".nf"; incode = 1; next }
    if (NR == 1 && $0 ~ /^# /) { print ".TH QORVEX 1 \"\" \"qorvex\" \"User Commands\""; next }
    if ($0 ~ /^## /) { flush(); section = toupper(substr($0, 4)); print ".SH " inline(section); next }
    if ($0 ~ /^### /) { flush(); print ".SS " inline(substr($0, 5)); next }
    if ($0 ~ /^[ \t]*$/) { flush(); print ".PP"; next }
    if ($0 ~ /^- /) { flush(); print ".IP \\(bu 2"; para = substr($0, 3); next }
    para = (para == "" ? $0 : para "\n" $0)
}
END { flush(); if (pending_row != "") flush_row(pending_row) }
' "$in" | awk '
# Collapse runs of paragraph breaks, and breaks right after a heading.
/^\.PP$/ { if (last ~ /^\.(PP|SH|SS|TH|TP|IP)/ || last == "") next }
{ print; last = $0 }
' > "$tmp"
mv "$tmp" "$out"
trap - EXIT INT TERM
