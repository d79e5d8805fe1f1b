# Listens on the AT-SPI bus as a screen reader does, makes the running
# program's drafts fail by typing into its title, and checks that the draft
# warning is an alert that shows: what Orca announces. Exit 0 when it is.
import sys
import threading
import time

import pyatspi

heard = []
result = {'found': None}


def on_event(event):
    try:
        source = event.source
        heard.append((event.type, source.getRoleName(), source.name or '', event.detail1))
    except Exception as error:  # the source may be gone already
        heard.append((event.type, 'gone', str(error), 0))


def find_title(node):
    for child in node:
        if child is None:
            continue
        if child.getRoleName() == 'text' and (child.name or '').startswith('Название'):
            return child
        found = find_title(child)
        if found:
            return found
    return None


def play():
    try:
        deadline = time.time() + 30
        app = None
        while time.time() < deadline and app is None:
            desktop = pyatspi.Registry.getDesktop(0)
            app = next((a for a in desktop if a is not None and a.name == 'Тирлада'), None)
            time.sleep(0.2)
        title = find_title(app) if app else None
        if title is None:
            print('the program or its title field is not on the bus')
            return
        title.queryEditableText().setTextContents('Весна')
        # The draft is written 2 seconds after the change.
        while time.time() < deadline:
            for kind, role, name, detail in heard:
                if (kind.startswith('object:state-changed:showing') and role == 'alert' and detail == 1
                        and name.startswith('Черновик не сохраняется')):
                    result['found'] = name
                    return
            time.sleep(0.2)
    finally:
        pyatspi.Registry.stop()


# What Orca listens to for an alert: it showing, and its name changing.
for kind in ('object:state-changed:showing', 'object:state-changed:visible', 'object:property-change:accessible-name'):
    pyatspi.Registry.registerEventListener(on_event, kind)
threading.Thread(target=play, daemon=True).start()
pyatspi.Registry.start()
if result['found']:
    print('announced: ' + result['found'])
    sys.exit(0)
print('no alert was announced; heard:')
for event in heard:
    print('  %s | %s | %s | %s' % event)
sys.exit(1)
