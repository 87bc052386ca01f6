#!/usr/bin/env bash
# Renders order documents of a fresh demo installation to look at: for each company a final
# invoice with its delivery note, a credit note, a quotation and a draft, printed through
# AUFTRAG.RPT with `zentorctl print-order` into out/render/*.pdf, and every page as PNG (100 dpi).
#   scripts/render-demo.sh                                    builds build/release first
#   ZENTORCTL=build/<dir>/cli/zentorctl scripts/render-demo.sh  uses that build instead
# The demo installation is made anew in out/demo.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ -z "${ZENTORCTL:-}" ]]; then
  scripts/build.sh release
  ZENTORCTL=build/release/cli/zentorctl
fi
for tool in "$ZENTORCTL" pdftoppm; do
  command -v "$tool" >/dev/null || { echo "render-demo.sh: $tool is missing" >&2; exit 2; }
done

home=out/demo
render=out/render
rm -rf "$home" "$render"
mkdir -p "$render"
"$ZENTORCTL" demo "$home" >/dev/null
[[ -f "$home/AUFTRAG.RPT" ]] || { echo "render-demo.sh: the demo has no AUFTRAG.RPT" >&2; exit 2; }

# Column of a field in `dbf dump` output: record number and deleted mark come first.
column() {  # TABLE FIELD
  "$ZENTORCTL" dbf info "$1" | awk -v f="$2" '/^  [A-Z_0-9]+ +[CNDLM] / { n++; if ($1 == f) { print n + 2; exit } }'
}

# Open orders (no document or delivery-note number) of kind $2, those with most positions first.
open_orders() {  # DATADIR TYP
  local ako=$1/AKO.DBF apo=$1/APO.DBF
  local c_auf c_typ c_typnr c_lsnr c_pauf
  c_auf=$(column "$ako" AUFTRAG); c_typ=$(column "$ako" TYP)
  c_typnr=$(column "$ako" TYPNR); c_lsnr=$(column "$ako" LSNR); c_pauf=$(column "$apo" AUFTRAG)
  awk -F'\t' -v pa="$c_pauf" -v a="$c_auf" -v t="$c_typ" -v tn="$c_typnr" -v ln="$c_lsnr" -v typ="$2" '
    FNR == NR { n[$pa]++; next }
    $t == typ && $tn == 0 && $ln == 0 { print n[$a] + 0 "\t" $a }' \
    <("$ZENTORCTL" dbf dump "$apo") <("$ZENTORCTL" dbf dump "$ako") | sort -t$'\t' -k1,1nr -k2,2n | cut -f2
}

written=()
print() {  # COMPANY NAME ORDER [FLAGS...]
  local company=$1 name=$2 order=$3
  shift 3
  local pdf="$render/firma$company-$name-$order.pdf"
  echo "== firma $company, $name (order $order): $*"
  "$ZENTORCTL" --home "$home" --company "$company" print-order "$order" "$@" --pdf "$pdf"
  pdftoppm -r 100 -png "$pdf" "${pdf%.pdf}"
  written+=("$pdf" "${pdf%.pdf}"-*.png)
}

for company in 1 2; do
  data=$home/FIRMA0$company
  mapfile -t invoices < <(open_orders "$data" R)
  mapfile -t credits < <(open_orders "$data" G)
  mapfile -t quotations < <(open_orders "$data" A)
  if (( ${#invoices[@]} < 2 || ${#credits[@]} < 1 || ${#quotations[@]} < 1 )); then
    echo "render-demo.sh: company $company lacks open invoices, credit notes or quotations" >&2
    exit 2
  fi
  print "$company" rechnung "${invoices[0]}" --final --complete
  print "$company" lieferschein "${invoices[0]}" --final --delivery-note
  print "$company" gutschrift "${credits[0]}" --final
  print "$company" angebot "${quotations[0]}" --final
  print "$company" entwurf "${invoices[1]}"
done

echo
echo "written:"
printf '  %s\n' "${written[@]}"
