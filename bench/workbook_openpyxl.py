#!/usr/bin/python3
"""The same run written and read with openpyxl (its fast write-only and
read-only modes). Prints "openpyxl_write ms" and "openpyxl_read ms"."""
import sys
import time

import openpyxl

STAGES, POINTS = 3, 100000


def rows():
    yield ["文件数据信息"]
    for label, value in (("样品名称：", "bench"), ("样品质量：", "1"), ("坩埚质量：", 0), ("实验人员：", "experimentor"),
                         ("实验日期：", "20250101"), ("测量类型：", "样品"), ("阶段数量：", STAGES)):
        yield [label, value] + (["mg"] if label in ("样品质量：", "坩埚质量：") else [])
    for s in range(STAGES):
        n = POINTS // STAGES + (1 if s < POINTS % STAGES else 0)
        yield ["#", "Time/min", "Temp/℃", "Voltage/mW", "Time/min"]
        yield ["阶段索引：", s + 1]
        yield ["截止温度：", 100.0 + s, "℃"]
        yield ["升温速率：", 10.0, "℃/min"]
        yield ["恒温时间：", s, "min"]
        yield ["气氛：", "N2"]
        yield ["数据个数：", n]
        for j in range(n):
            yield [j, 0.01 * (j + 1), 25.0 + 0.003 * j, 0.5 - 0.0001 * j, 0.0]


def main(path):
    t = time.perf_counter()
    wb = openpyxl.Workbook(write_only=True)
    ws = wb.create_sheet("Sheet1")
    for r in rows():
        ws.append(r)
    wb.save(path)
    write = time.perf_counter() - t
    t = time.perf_counter()
    ws = openpyxl.load_workbook(path, read_only=True).active
    cells = sum(1 for row in ws.iter_rows(values_only=True) for v in row if v is not None)
    read = time.perf_counter() - t
    assert cells > POINTS * 5
    print("openpyxl_write %.1f\nopenpyxl_read %.1f" % (write * 1000, read * 1000))


if __name__ == "__main__":
    main(sys.argv[1])
