#!/usr/bin/env python3
"""Writes the three-part button and header images, and the small single
images beside them, of the controls into
Vellicor/resources/images/ as SVG.

Every set is one drawing (a rounded shape with a soft vertical gradient, a
one-point border and a faint sheen along the top) cut into a start cap, a
middle that the controls stretch and an end cap: each file holds the whole
drawing, moved so that its part fills the view box, so the parts always meet.
Run it again after changing a colour; add a set for a new control here so
the images stay one family.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "..", "Vellicor", "resources", "images")

BLUE = dict(top="#2f7ff2", bottom="#095ade", border="#0a47b0", sheen=0.22)
GREY = dict(top="#5b5e64", bottom="#46494e", border="#2b2d31", sheen=0.12)
# The blue faded into the dark sheets: a blue button that takes nothing.
FADED_BLUE = dict(top="#2e4a73", bottom="#233d66", border="#1f3557", sheen=0.08)
GREEN = dict(top="#35b45c", bottom="#1e8c42", border="#176c34", sheen=0.20)
DARK = dict(top="#3b3d41", bottom="#2f3134", border="#5a5d63", sheen=0.07)
LIGHT = dict(top="#f4f5f7", bottom="#d8dbe0", border="#9ca0a8", sheen=0.0)
HEADER = dict(top="#3a3c40", bottom="#2c2e31", border="#18191b", sheen=0.07)

# name of each part (start, middle, end), height, corner radius, colours, shape
SETS = [
    (("blue_left_btn", "blue_mid_btn", "blue_right_btn"), 48, 6, BLUE, "round"),
    (("grey_left_btn", "grey_mid_btn", "grey_right_btn"), 48, 6, GREY, "round"),
    (("blue_btn_sm_left", "blue_btn_sm_mid", "blue_btn_sm_right"), 32, 4, BLUE, "round"),
    (("blue_btn_sm_dis_left", "blue_btn_sm_dis_mid", "blue_btn_sm_dis_right"), 32, 4, FADED_BLUE, "round"),
    (("blue_sel_btn_left", "blue_sel_btn_mid", "blue_sel_btn_right"), 48, 6, BLUE, "round"),
    (("green_sel_btn_left", "green_sel_btn_mid", "green_sel_btn_right"), 48, 6, GREEN, "round"),
    (("back_btn_left", "back_btn_mid", "back_btn_right"), 32, 4, DARK, "round"),
    (("back_button_left", "back_button_center", "back_button_right"), 28, 4, LIGHT, "arrow"),
    (("header_left", "header_mid", "header_right"), 36, 4, HEADER, "header"),
]

MIDDLE_WIDTH = 4

# Single images: name, size and the drawing inside a view box of that size.
# The disclosure arrows of the outline, pale on the dark rows: a right-pointing
# arrow for a closed group and a downward one for an open group.
ARROW = "#c6cfe5"
ICONS = [
    ("arrow_close_d", 12, f'<path d="M4,2.5 L9,6 L4,9.5 Z" fill="{ARROW}"/>'),
    ("arrow_open_d", 12, f'<path d="M2.5,4 L9.5,4 L6,9 Z" fill="{ARROW}"/>'),
    # The folder of the empty-folder cleaner's rows: a tab and a body, with a
    # lighter front flap.
    ("folder_small", 16, '<path d="M1.5,3.5 L6,3.5 L7.5,5 L14.5,5 L14.5,13 L1.5,13 Z" fill="#5d8fd6"/>'
                         '<path d="M1.5,6.5 L14.5,6.5 L14.5,13 L1.5,13 Z" fill="#7fb0f0"/>'),
]

# The preferences toolbar: one 32-point tile per pane in the blue of the
# buttons, a white sign on it.
TILE = ('<defs><linearGradient id="fill" x1="0" y1="0" x2="0" y2="1">'
        f'<stop offset="0" stop-color="{BLUE["top"]}"/><stop offset="1" stop-color="{BLUE["bottom"]}"/>'
        f'</linearGradient></defs><rect x="1" y="1" width="30" height="30" rx="7" fill="{BLUE["border"]}"/>'
        '<rect x="2" y="2" width="28" height="28" rx="6" fill="url(#fill)"/>')
SIGN = 'fill="none" stroke="#ffffff" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"'
ICONS += [
    ("general", 32, TILE + f'<g {SIGN}><circle cx="16" cy="16" r="4.5"/>'
     '<path d="M16,7 V9.5 M16,22.5 V25 M7,16 H9.5 M22.5,16 H25 M9.6,9.6 L11.4,11.4 M20.6,20.6 L22.4,22.4 '
     'M9.6,22.4 L11.4,20.6 M20.6,11.4 L22.4,9.6"/></g>'),
    ("advance-scan-setting", 32, TILE + f'<g {SIGN}><path d="M8,11 H24 M8,16 H24 M8,21 H24"/></g>'
     '<g fill="#ffffff"><circle cx="12" cy="11" r="2.4"/><circle cx="20" cy="16" r="2.4"/>'
     '<circle cx="14" cy="21" r="2.4"/></g>'),
    ("search-options", 32, TILE + f'<g {SIGN}><circle cx="14" cy="14" r="5.5"/><path d="M18,18 L24,24"/></g>'),
    ("exclusions", 32, TILE + f'<g {SIGN}><path d="M7,11 H13 L15,13 H25 V23 H7 Z"/><path d="M13,15 L19,21 M19,15 L13,21"/></g>'),
    ("scan-history", 32, TILE + f'<g {SIGN}><circle cx="16" cy="16" r="8"/><path d="M16,11 V16 L19.5,18.5"/></g>'),
]


# The home screen's pictures, in the same blue and pale grey: the step badges
# and their connector, the drop box's folder, the last-scan box's glyphs, the
# Exclude and Protect shortcuts, row icons by source, the scanning glyph and
# the pop-up's check mark. A size may be (width, height).
BLUE_FILL = "#1f6fe5"
PALE = "#c6cfe5"
MUTED = "#8a90a0"


def badge(number):
    return (f'<circle cx="16" cy="16" r="15" fill="{BLUE_FILL}" stroke="#2f7ff2" stroke-width="1"/>'
            f'<text x="16" y="21.5" font-family="sans-serif" font-size="16" font-weight="bold" '
            f'text-anchor="middle" fill="#ffffff">{number}</text>')


def cloud(colour):
    return (f'<path d="M6,17 a4.5,4.5 0 0 1 1-8.8 a6,6 0 0 1 11.2-1.2 a4.5,4.5 0 0 1 0.8,10 Z" '
            f'fill="{colour}"/>')


FOLDER = ('<path d="M2,5.5 Q2,4 3.5,4 L8.5,4 L10.5,6 L18.5,6 Q20,6 20,7.5 L20,17 Q20,18.5 18.5,18.5 '
          'L3.5,18.5 Q2,18.5 2,17 Z" fill="#5a8fe6"/><path d="M2,8.5 L20,8.5 L20,17 Q20,18.5 18.5,18.5 '
          'L3.5,18.5 Q2,18.5 2,17 Z" fill="#7aa8f0"/>')
DOCS = ('<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="2" fill="{fill}" stroke="#2b2d31" stroke-width="1"/>')

ICONS += [
    ("imgOne", 32, badge(1)),
    ("imgTwo", 32, badge(2)),
    ("imgThree", 36,
     DOCS.format(x=5, y=4, w=18, h=24, fill=MUTED) + DOCS.format(x=13, y=8, w=18, h=24, fill=PALE)
     + f'<path d="M17,21 L20.5,24.5 L27,17" stroke="{BLUE_FILL}" stroke-width="2.5" fill="none" '
       'stroke-linecap="round" stroke-linejoin="round"/>'),
    ("imgArrow", (64, 20),
     f'<path d="M4,10 L54,10" stroke="{MUTED}" stroke-width="2" stroke-dasharray="4 4" stroke-linecap="round"/>'
     f'<path d="M52,4 L60,10 L52,16" stroke="{MUTED}" stroke-width="2" fill="none" stroke-linecap="round" '
     'stroke-linejoin="round"/>'),
    ("imgDragDrop", (80, 70),
     '<path d="M6,16 Q6,11 11,11 L29,11 L35,17 L69,17 Q74,17 74,22 L74,60 Q74,65 69,65 L11,65 Q6,65 6,60 Z" '
     'fill="#3c5f9c"/><path d="M6,26 L74,26 L74,60 Q74,65 69,65 L11,65 Q6,65 6,60 Z" fill="#4f7bc7"/>'
     '<path d="M40,31 L40,53 M31,45 L40,54 L49,45" stroke="#ffffff" stroke-width="4" fill="none" '
     'stroke-linecap="round" stroke-linejoin="round"/>'),
    ("imgLastScan", 22,
     f'<circle cx="11" cy="11" r="9" fill="none" stroke="{PALE}" stroke-width="2"/>'
     f'<path d="M11,6 L11,11 L15,13" stroke="{PALE}" stroke-width="2" fill="none" stroke-linecap="round"/>'),
    ("imgDupCount", 26,
     DOCS.format(x=3, y=3, w=14, h=18, fill=MUTED) + DOCS.format(x=9, y=6, w=14, h=18, fill=PALE)),
    ("imgDupSpace", 26,
     f'<rect x="2" y="6" width="22" height="14" rx="3" fill="{PALE}"/>'
     f'<rect x="4" y="15" width="12" height="2.5" rx="1" fill="{BLUE_FILL}"/>'
     '<circle cx="20" cy="16.2" r="1.4" fill="#2b2d31"/>'),
    ("infoIcon", 18,
     f'<circle cx="9" cy="9" r="8" fill="{BLUE_FILL}"/>'
     '<rect x="8" y="7.5" width="2" height="6" rx="1" fill="#ffffff"/><circle cx="9" cy="5" r="1.2" fill="#ffffff"/>'),
    ("imgViewProgress", 32,
     f'<circle cx="13" cy="13" r="8.5" fill="none" stroke="{PALE}" stroke-width="3"/>'
     f'<path d="M19.5,19.5 L27,27" stroke="{PALE}" stroke-width="4" stroke-linecap="round"/>'),
    ("exclude_icon", 24,
     f'<circle cx="12" cy="12" r="9.5" fill="none" stroke="{PALE}" stroke-width="2"/>'
     f'<path d="M7,12 L17,12" stroke="{PALE}" stroke-width="2.5" stroke-linecap="round"/>'),
    ("protect_icon", 24,
     f'<path d="M12,2.5 L20,5.5 L20,11.5 Q20,18 12,21.5 Q4,18 4,11.5 L4,5.5 Z" fill="none" stroke="{PALE}" '
     'stroke-width="2" stroke-linejoin="round"/>'
     f'<path d="M8.5,12 L11,14.5 L15.5,9.5" stroke="{PALE}" stroke-width="2" fill="none" stroke-linecap="round" '
     'stroke-linejoin="round"/>'),
    ("folder_icon", 22, FOLDER),
    ("file_icon", 22,
     '<path d="M5,2 L13,2 L18,7 L18,20 L5,20 Z" fill="#d8dbe0"/><path d="M13,2 L13,7 L18,7 Z" fill="#9ca0a8"/>'),
    ("google_drive", 22, cloud("#3aa757")),
    ("dropbox_icon", 22, cloud("#2f7ff2")),
    ("onedrive_icon", 22, cloud("#5aa2e6")),
    ("boxcloud_icon", 22, cloud("#4a6fd1")),
    ("literoom", 22, f'<rect x="3" y="3" width="16" height="16" rx="3" fill="#2b4a7a"/>'
     f'<circle cx="8.5" cy="9" r="2" fill="{PALE}"/><path d="M4,17 L9,12 L12,15 L15,11 L19,17 Z" fill="{PALE}"/>'),
    ("check_mark", 12,
     '<path d="M2,6.5 L5,9.5 L10,3" stroke="#ffffff" stroke-width="2" fill="none" stroke-linecap="round" '
     'stroke-linejoin="round"/>'),
]


# The results screen: the view-mode glyphs (pale, and white on blue when
# chosen), the sort arrows, the preview-pane toggle, the arrow under the
# chosen category and the file-type icons of the result rows.
SEL = "#ffffff"


def list_glyph(colour):
    return "".join(f'<rect x="3" y="{y}" width="3" height="2.4" rx="0.6" fill="{colour}"/>'
                   f'<rect x="8" y="{y}" width="11" height="2.4" rx="0.6" fill="{colour}"/>' for y in (5, 9.8, 14.6))


def tree_glyph(colour):
    return (f'<rect x="3" y="4" width="16" height="3" rx="0.8" fill="{colour}"/>'
            f'<path d="M5,7 L5,16.5 L9,16.5 M5,11.5 L9,11.5" stroke="{colour}" stroke-width="1.4" fill="none"/>'
            f'<rect x="10" y="10.2" width="9" height="2.6" rx="0.6" fill="{colour}"/>'
            f'<rect x="10" y="15.2" width="9" height="2.6" rx="0.6" fill="{colour}"/>')


def grid_glyph(colour):
    return "".join(f'<rect x="{x}" y="{y}" width="6.5" height="6.5" rx="1" fill="{colour}"/>'
                   for x in (3.5, 12) for y in (3.5, 12))


def file_type(colour, mark):
    return ('<path d="M5,2 L14,2 L19,7 L19,21 L5,21 Z" fill="' + colour + '"/>'
            '<path d="M14,2 L14,7 L19,7 Z" fill="#ffffff" fill-opacity="0.45"/>' + mark)


ICONS += [
    ("list_icon", 22, list_glyph(PALE)),
    ("list_sel_icon", 22, list_glyph(SEL)),
    ("tree_view_icon", 22, tree_glyph(PALE)),
    ("tree_view_sel_icon", 22, tree_glyph(SEL)),
    ("grid_icon", 22, grid_glyph(PALE)),
    ("grid_sel_icon", 22, grid_glyph(SEL)),
    ("up_arrow", 22, f'<path d="M11,4 L11,18 M5.5,9.5 L11,4 L16.5,9.5" stroke="{PALE}" stroke-width="2.2" '
     'fill="none" stroke-linecap="round" stroke-linejoin="round"/>'),
    ("down_arrow", 22, f'<path d="M11,4 L11,18 M5.5,12.5 L11,18 L16.5,12.5" stroke="{PALE}" stroke-width="2.2" '
     'fill="none" stroke-linecap="round" stroke-linejoin="round"/>'),
    ("preview_icon", 22, f'<rect x="2.5" y="4" width="17" height="14" rx="2" fill="none" stroke="{PALE}" '
     f'stroke-width="1.6"/><rect x="12" y="5" width="6.6" height="12" fill="{PALE}"/>'),
    ("category_arrow", (16, 8), f'<path d="M0,8 L8,0 L16,8 Z" fill="{BLUE_FILL}"/>'),
    ("document_icon", 22, file_type("#4f7bc7", '<path d="M8,11 H16 M8,14 H16 M8,17 H13" stroke="#ffffff" '
     'stroke-width="1.3"/>')),
    ("img_icon", 22, file_type("#3aa757", '<circle cx="9.5" cy="11" r="1.6" fill="#ffffff"/>'
     '<path d="M7,19 L10.5,14.5 L13,17 L15,15 L17.5,19 Z" fill="#ffffff"/>')),
    ("music_icon", 22, file_type("#c4569a", '<path d="M10.5,18 L10.5,10.5 L16,9.5 L16,16.5" stroke="#ffffff" '
     'stroke-width="1.4" fill="none"/><circle cx="9.3" cy="18" r="1.7" fill="#ffffff"/>'
     '<circle cx="14.8" cy="16.6" r="1.7" fill="#ffffff"/>')),
    ("video_icon", 22, file_type("#d9822b", '<path d="M9.5,10.5 L15.5,14 L9.5,17.5 Z" fill="#ffffff"/>')),
    ("archive_icon", 22, file_type("#8d6e4e", '<path d="M12,8 V10 M12,11 V13 M12,14 V16" stroke="#ffffff" '
     'stroke-width="1.6"/><rect x="10.5" y="16" width="3" height="3" rx="0.6" fill="#ffffff"/>')),
    ("other_icon", 22, file_type(MUTED, '')),
    # The toolbar's options button: three white dots on its blue.
    ("options_icon", 22, "".join(f'<circle cx="{x}" cy="11" r="2" fill="{SEL}"/>' for x in (5, 11, 17))),
]


def rounded(x0, y0, x1, y1, r, point=False, square_bottom=False):
    """Path of a rounded rectangle; point makes the left side an arrow head,
    square_bottom keeps the lower corners square."""
    h = y1 - y0
    if point:
        left = f"M{x0},{y0 + h / 2} L{x0 + h / 2},{y0} "
        left_end = f"L{x0 + h / 2},{y1} Z"
    else:
        left = f"M{x0},{y0 + r} Q{x0},{y0} {x0 + r},{y0} "
        left_end = (f"L{x0},{y1} Z" if square_bottom else f"L{x0 + r},{y1} Q{x0},{y1} {x0},{y1 - r} Z")
    right = f"L{x1 - r},{y0} Q{x1},{y0} {x1},{y0 + r} "
    right += f"L{x1},{y1} " if square_bottom else f"L{x1},{y1 - r} Q{x1},{y1} {x1 - r},{y1} "
    return left + right + left_end


def drawing(width, height, radius, colours, shape):
    gradient = (
        '<defs><linearGradient id="fill" x1="0" y1="0" x2="0" y2="1">'
        f'<stop offset="0" stop-color="{colours["top"]}"/>'
        f'<stop offset="1" stop-color="{colours["bottom"]}"/>'
        "</linearGradient></defs>"
    )
    sheen = ""
    if colours["sheen"] > 0:
        start = height / 2 + 1 if shape == "arrow" else radius
        sheen = (f'<rect x="{start}" y="1" width="{width - start - radius}" height="1" '
                 f'fill="#ffffff" fill-opacity="{colours["sheen"]}"/>')
    if shape == "header":
        body = (f'<path d="{rounded(0, 0, width, height, radius, square_bottom=True)}" fill="url(#fill)"/>'
                f'<rect x="0" y="{height - 1}" width="{width}" height="1" fill="{colours["border"]}"/>')
    else:
        point = shape == "arrow"
        body = (f'<path d="{rounded(0, 0, width, height, radius, point)}" fill="{colours["border"]}"/>'
                f'<path d="{rounded(1.2 if point else 1, 1, width - 1, height - 1, radius - 1, point)}" '
                'fill="url(#fill)"/>')
    return gradient + body + sheen


def main():
    os.makedirs(OUT, exist_ok=True)
    names = []
    for parts, height, radius, colours, shape in SETS:
        cap = (height // 2 + 4) if shape == "arrow" else radius + 4
        width = 2 * cap + MIDDLE_WIDTH
        art = drawing(width, height, radius, colours, shape)
        boxes = [(0, cap), (cap, MIDDLE_WIDTH), (cap + MIDDLE_WIDTH, cap)]
        for name, (x, w) in zip(parts, boxes):
            svg = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{height}" '
                   f'viewBox="0 0 {w} {height}"><g transform="translate({-x},0)">{art}</g></svg>\n')
            with open(os.path.join(OUT, name + ".svg"), "w") as f:
                f.write(svg)
            names.append(name)
    for name, size, art in ICONS:
        w, h = size if isinstance(size, tuple) else (size, size)
        with open(os.path.join(OUT, name + ".svg"), "w") as f:
            f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
                    f'viewBox="0 0 {w} {h}">{art}</svg>\n')
        names.append(name)
    print("\n".join(f"    <file>images/{n}.svg</file>" for n in names))


if __name__ == "__main__":
    main()
