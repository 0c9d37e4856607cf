#!/usr/bin/python3
"""The VBA form against the Windows dialog's control table.

Every control of kControls (src/automation/form_dialog.cpp) must be made by
BuildFenBanForm.bas, of the same kind and with its caption (a check box's
own, which is also the label the options table gives it
(src/form/option_controls.h), as the page and the terminal show it; a
button's own, where one front end may word it longer; a text box's on a
label beside it), no control or label may
overlap another or reach past the form, and every control with an event must
have a handler in frmFenBan.code.txt forwarding exactly that event (one
without an event, none).

usage: form_controls_check.py [SOURCE_DIR]
"""
import os
import re
import sys

PROG_IDS = {"List": "ListBox", "Text": "TextBox", "Check": "CheckBox", "Button": "CommandButton"}
TITLE_BAR = 24  # points of the form's height taken by its title bar and frame
LABEL_WIDTH = 60  # AddLabel's width when none is given

problems = []


def fail(text):
    problems.append(text)


def decode(argument):
    """The text of a caption argument: "" or U("5206 73ED")."""
    found = re.fullmatch(r'U\("([0-9A-Fa-f ]+)"\)', argument)
    if not found:
        return ""
    return "".join(chr(int(code, 16)) for code in found.group(1).split())


def dialog_controls(source):
    size = re.search(r"std::array<Control, (\d+)> kControls", source)
    entries = re.findall(r'\{"(\w+)", \d+, Kind::(\w+), L"([^"]*)", "(\w*)"\}', source)
    if not size or int(size.group(1)) != len(entries):
        sys.exit("form_controls_check: cannot read kControls (%d entries read)" % len(entries))
    return [{"name": n, "kind": k, "caption": c, "event": e} for n, k, c, e in entries]


def option_labels(source):
    """The options table's control -> label (its name for a teacher)."""
    entries = re.findall(r'\{"(\w+)", OptionKind::\w+, \d+, "[^"]*", "([^"]*)"', source)
    if len(entries) != 8:
        sys.exit("form_controls_check: cannot read kOptionControls (%d entries read)" % len(entries))
    return dict(entries)


def form_layout(source):
    """The form's size, its controls by name and its labels, each with its rectangle."""
    number = r"\s*([\d.]+)"
    width = re.search(r'Properties\("Width"\) = ([\d.]+)', source)
    height = re.search(r'Properties\("Height"\) = ([\d.]+)', source)
    controls = {}
    pattern = r'AddControl designer, "Forms\.(\w+)\.1", "(\w+)", (""|U\("[^"]*"\)),' + ",".join([number] * 4)
    for prog, name, caption, *box in re.findall(pattern, source):
        if name in controls:
            fail("BuildFenBanForm.bas adds %s twice" % name)
        controls[name] = {"prog": prog, "caption": decode(caption), "box": [float(v) for v in box]}
    labels = []
    for caption, left, top, size in re.findall(r'AddLabel designer, (U\("[^"]*"\)),' + number + "," + number +
                                               r"(?:,\s*([\d.]+))?", source):
        labels.append({"caption": decode(caption),
                       "box": [float(left), float(top), float(size or LABEL_WIDTH), 16.0]})
    if not width or not height:
        sys.exit("form_controls_check: BuildFenBanForm.bas sets no form size")
    return float(width.group(1)), float(height.group(1)), controls, labels


def handlers(source):
    """Handler name -> the events its body forwards."""
    found = {}
    for name, body in re.findall(r"Private Sub (\w+)\(\)\s*\n(.*?)End Sub", source, re.S):
        found[name] = re.findall(r'Fire "(\w+)"', body)
    return found


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    read = lambda path: open(os.path.join(root, path), encoding="utf-8", newline="").read().replace("\r\n", "\n")
    table = dialog_controls(read("src/automation/form_dialog.cpp"))
    width, height, controls, labels = form_layout(read("src/automation/form_code/BuildFenBanForm.bas"))
    code = handlers(read("src/automation/form_code/frmFenBan.code.txt"))
    labels_of_options = option_labels(read("src/form/option_controls.h"))

    for control in table:
        name = control["name"]
        made = controls.get(name)
        if not made:
            fail("BuildFenBanForm.bas does not add %s" % name)
        elif made["prog"] != PROG_IDS[control["kind"]]:
            fail("%s is a %s, the dialog's is a %s" % (name, made["prog"], control["kind"]))
        elif control["kind"] == "Check" and made["caption"] != control["caption"]:
            fail("%s reads %r, the dialog's %r" % (name, made["caption"], control["caption"]))
        elif control["kind"] == "Check" and labels_of_options.get(name, control["caption"]) != control["caption"]:
            fail("the dialog's %s reads %r, the options table's label %r" %
                 (name, control["caption"], labels_of_options[name]))
        elif control["kind"] == "Button" and not (made["caption"].startswith(control["caption"]) or
                                                  control["caption"].startswith(made["caption"])):
            # The two front ends word a button longer ("登记表"); one begins the other.
            fail("%s reads %r, the dialog's %r" % (name, made["caption"], control["caption"]))
        elif control["kind"] == "Text":
            top, box_height = made["box"][1], made["box"][3]
            if not any(l["caption"] == control["caption"] and top <= l["box"][1] <= top + box_height for l in labels):
                fail("%s has no label %r beside it" % (name, control["caption"]))
        forwarded = [events for handler, events in code.items() if handler.startswith(name + "_")]
        if control["event"] and forwarded != [[control["event"]]]:
            fail("frmFenBan.code.txt: %s forwards %s, expected one handler forwarding %s"
                 % (name, forwarded, control["event"]))
        if not control["event"] and forwarded:
            fail("frmFenBan.code.txt: %s has a handler, but the dialog fires no event for it" % name)
    for name in sorted(set(controls) - {c["name"] for c in table}):
        fail("BuildFenBanForm.bas adds %s, which the dialog has not" % name)

    pieces = [(name, c["box"]) for name, c in controls.items()]
    pieces += [("label %s" % l["caption"], l["box"]) for l in labels]
    for i, (name, box) in enumerate(pieces):
        if box[0] + box[2] > width or box[1] + box[3] + TITLE_BAR > height:
            fail("%s (%s) reaches past the form (%g x %g)" % (name, box, width, height))
        for other, other_box in pieces[i + 1:]:
            if overlap(box, other_box):
                fail("%s %s overlaps %s %s" % (name, box, other, other_box))

    if problems:
        print("form_controls_check: %d difference(s):" % len(problems))
        for p in problems:
            print("  " + p)
        sys.exit(1)
    print("form_controls_check: the VBA form has the dialog's %d controls" % len(table))


if __name__ == "__main__":
    main()
