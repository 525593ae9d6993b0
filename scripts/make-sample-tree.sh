#!/usr/bin/env bash
# Writes a small tree of text files to index and search (reports, budgets,
# recipes, notes and spreadsheets, with dates spread over a year), into the
# folder named by $1. An existing tree is left as it is.
set -euo pipefail
dir=${1:?usage: make-sample-tree.sh FOLDER}
[ -f "$dir/.quorvane-sample" ] && exit 0
mkdir -p "$dir"/{Work/Reports,Work/Budgets,Home/Recipes,Home/Notes,Home/Memos,Data}

file() {  # PATH DAYS-AGO TEXT
  printf '%s\n' "$3" >"$dir/$1"
  touch -d "$2 days ago" "$dir/$1"
}
quarters=(first second third fourth)
for q in 1 2 3 4; do
  file "Work/Reports/Quarterly report Q$q.txt" $((400 - q * 90)) \
    "Quarterly report for the ${quarters[q-1]} quarter: sales, hiring and the budget outlook."
  file "Work/Budgets/Budget Q$q.csv" $((395 - q * 90)) "item,amount
rent,1200
travel,$((q * 150))
software,$((q * 80))"
done
days=30
for team in Sales Support Research Operations; do
  days=$((days + 70))
  file "Work/Reports/$team annual report.md" $days \
    "# $team annual report
The $team team's year: goals met, budget report and plans."
done
dishes=(Lentil\ soup Apple\ pie Tomato\ risotto Banana\ bread Pancakes Green\ curry)
for i in "${!dishes[@]}"; do
  file "Home/Recipes/${dishes[i]} recipe.txt" $((i * 20 + 5)) \
    "Recipe: ${dishes[i]}. Ingredients and steps, serves four."
done
for i in $(seq 1 12); do
  file "Home/Notes/Note $(printf %02d "$i").txt" $((i * 25)) \
    "Note $i: call the bank, book the trip, water the plants."
done
# Names in several scripts, beside names that a lossy (ANSI, '?') form of them
# would match.
for name in "日本語 memo" "abc memo" "Отчёт memo" "zzzzz memo" "emoji 😀 memo" "emoji a memo"; do
  file "Home/Memos/$name.txt" 3 "Memo: $name, to read before the meeting."
done
for year in 2021 2022 2023 2024; do
  file "Data/Measurements $year.csv" $(((2025 - year) * 365)) "month,value
January,$((year % 7))
February,$((year % 11))"
done
touch "$dir/.quorvane-sample"
echo "sample tree: $dir"
