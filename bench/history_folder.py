#!/usr/bin/env python3
# Fills the database of a data folder with N records of twelve tenors, one per working day back from
# today: the history the whole-process benchmarks start from.
# Usage: bench/history_folder.py FOLDER/EURIBOR.MDB N
import datetime, sqlite3, sys

db = sqlite3.connect(sys.argv[1]); n = int(sys.argv[2])
tenors = ["EuRibor 1w", "EuRibor 2w", "EuRibor 3w", "EuRibor 1m", "EuRibor 2m", "EuRibor 3m",
          "EuRibor 4m", "EuRibor 5m", "EuRibor 6m", "EuRibor 9m", "EuRibor 10m", "EuRibor 12m"]
day = datetime.date.today() - datetime.timedelta(days=n // 12 + 2)
rows = []
for i in range(n):
    if i % 12 == 0:
        day += datetime.timedelta(days=1)
    rows.append((tenors[i % 12], day.strftime("%Y%m%d"), 1.0 + (i % 997) / 1000, tenors[i % 12], ""))
db.executemany("INSERT INTO Storico_Euribor VALUES (?, ?, ?, ?, ?)", rows); db.commit()
