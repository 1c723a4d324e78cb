'''GNOME's idle monitor: GetIdletime on the core monitor, in milliseconds.

Parameter: "idle_ms" (default 2500).
'''

import dbus

BUS_NAME = 'org.gnome.Mutter.IdleMonitor'
MAIN_OBJ = '/org/gnome/Mutter/IdleMonitor/Core'
MAIN_IFACE = 'org.gnome.Mutter.IdleMonitor'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.idle_ms = dbus.UInt64(parameters.get('idle_ms', 2500))
    mock.AddMethods(MAIN_IFACE, [
        ('GetIdletime', '', 't', 'ret = self.idle_ms'),
    ])
