#!/usr/bin/python3
"""Draws the program's icons and logo. Run from anywhere; writes beside itself.

Every image is plain geometry drawn here, so the resource set is our own.
"""
import math
import os

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
S = 64  # drawn at 64 px, Qt scales the tool-bar icons down


def canvas(size=S):
    return Image.new("RGBA", (size, size), (0, 0, 0, 0))


def dsc_curve(draw, box, colour, width):
    """A baseline with one endothermic peak: the shape the program plots."""
    x0, y0, x1, y1 = box
    pts = []
    for i in range(101):
        t = i / 100
        base = y0 + (y1 - y0) * (0.35 + 0.1 * t)
        peak = (y1 - y0) * 0.45 * math.exp(-((t - 0.6) / 0.07) ** 2)
        pts.append((x0 + (x1 - x0) * t, base + peak))
    draw.line(pts, fill=colour, width=width, joint="curve")


def logo(size):
    img = canvas(size)
    d = ImageDraw.Draw(img)
    m = size // 16
    d.rounded_rectangle((m, m, size - m, size - m), radius=size // 6, fill=(22, 74, 140, 255))
    dsc_curve(d, (3 * m, 4 * m, size - 3 * m, size - 4 * m), (255, 196, 40, 255), max(1, size // 16))
    return img


def new_icon():
    img = canvas()
    d = ImageDraw.Draw(img)
    d.polygon([(14, 6), (40, 6), (52, 18), (52, 58), (14, 58)], fill=(250, 250, 250, 255), outline=(60, 60, 60, 255))
    d.polygon([(40, 6), (40, 18), (52, 18)], fill=(200, 200, 200, 255), outline=(60, 60, 60, 255))
    d.rectangle((24, 34, 42, 38), fill=(30, 140, 60, 255))
    d.rectangle((31, 27, 35, 45), fill=(30, 140, 60, 255))
    return img


def start_icon():
    img = canvas()
    d = ImageDraw.Draw(img)
    d.ellipse((4, 4, 60, 60), fill=(34, 150, 70, 255))
    d.polygon([(24, 16), (24, 48), (48, 32)], fill=(255, 255, 255, 255))
    return img


def stop_icon():
    img = canvas()
    d = ImageDraw.Draw(img)
    d.ellipse((4, 4, 60, 60), fill=(200, 40, 40, 255))
    d.rectangle((20, 20, 44, 44), fill=(255, 255, 255, 255))
    return img


def real_time_icon():
    img = canvas()
    d = ImageDraw.Draw(img)
    d.rectangle((4, 8, 60, 56), fill=(255, 255, 255, 255), outline=(50, 50, 50, 255), width=2)
    dsc_curve(d, (8, 14, 56, 50), (20, 90, 200, 255), 3)
    return img


def real_time_widget_icon():
    img = canvas()
    d = ImageDraw.Draw(img)
    d.rectangle((4, 6, 60, 58), fill=(240, 244, 250, 255), outline=(50, 50, 50, 255), width=2)
    for row in range(4):
        y = 14 + row * 11
        d.rectangle((10, y, 26, y + 6), fill=(120, 120, 120, 255))
        d.rectangle((30, y, 54, y + 6), fill=(20, 90, 200, 255))
    return img


def plug(d, colour, gap):
    d.rectangle((8, 26, 24 - gap, 38), fill=colour)
    d.rectangle((2, 30, 8, 34), fill=colour)
    d.rectangle((24 - gap, 22, 30 - gap, 42), fill=colour)
    d.rectangle((34 + gap, 22, 40 + gap, 42), fill=colour)
    d.rectangle((40 + gap, 26, 56, 38), fill=colour)
    d.rectangle((56, 30, 62, 34), fill=colour)
    d.rectangle((28 - gap, 26, 34 - gap, 28), fill=colour)
    d.rectangle((28 - gap, 36, 34 - gap, 38), fill=colour)


def connect_icon():
    img = canvas()
    plug(ImageDraw.Draw(img), (30, 120, 200, 255), 0)
    return img


def disconnect_icon():
    img = canvas()
    d = ImageDraw.Draw(img)
    plug(d, (150, 150, 150, 255), 4)
    d.line((10, 54, 54, 10), fill=(200, 40, 40, 255), width=5)
    return img


def clear_data_icon():
    img = canvas()
    d = ImageDraw.Draw(img)
    d.rectangle((18, 16, 46, 58), fill=(120, 130, 140, 255))
    d.rectangle((12, 10, 52, 16), fill=(80, 90, 100, 255))
    d.rectangle((26, 4, 38, 10), fill=(80, 90, 100, 255))
    for x in (25, 32, 39):
        d.line((x, 22, x, 52), fill=(230, 230, 230, 255), width=2)
    return img


def axis_icon():
    img = canvas()
    d = ImageDraw.Draw(img)
    d.line((10, 56, 10, 6), fill=(40, 40, 40, 255), width=3)
    d.line((8, 54, 60, 54), fill=(40, 40, 40, 255), width=3)
    d.polygon([(4, 12), (16, 12), (10, 2)], fill=(40, 40, 40, 255))
    d.polygon([(54, 48), (54, 60), (63, 54)], fill=(40, 40, 40, 255))
    for x in (22, 34, 46):
        d.line((x, 50, x, 58), fill=(40, 40, 40, 255), width=2)
    return img


def main():
    outputs = {
        "new.png": new_icon(),
        "start.png": start_icon(),
        "stop.png": stop_icon(),
        "real_time.png": real_time_icon(),
        "real_time_widget.png": real_time_widget_icon(),
        "connect.png": connect_icon(),
        "disconnect.png": disconnect_icon(),
        "clear_data.png": clear_data_icon(),
        "axis.png": axis_icon(),
        "logo.png": logo(256),
    }
    for name, img in outputs.items():
        img.save(os.path.join(HERE, name))
    logo(256).save(os.path.join(HERE, "logo.ico"), sizes=[(16, 16), (32, 32), (64, 64)])


if __name__ == "__main__":
    main()
