'''org.freedesktop.ScreenSaver as KDE serves it: SetActive, the session idle time, ActiveChanged,
SimulateUserActivity (which resets the idle time).

Parameters: "idle_ms" (the idle time reported, default 1500), "idle_error" (when true,
GetSessionIdleTime fails as it does on desktops that own the name without implementing it).
'''

import dbus

BUS_NAME = 'org.freedesktop.ScreenSaver'
MAIN_OBJ = '/org/freedesktop/ScreenSaver'
MAIN_IFACE = 'org.freedesktop.ScreenSaver'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.is_active = False
    mock.idle_ms = dbus.UInt32(parameters.get('idle_ms', 1500))
    idle_code = 'ret = self.idle_ms'
    if parameters.get('idle_error', False):
        idle_code = ('raise dbus.exceptions.DBusException("not implemented", '
                     'name="org.freedesktop.DBus.Error.NotSupported")')
    mock.AddMethods(MAIN_IFACE, [
        ('GetActive', '', 'b', 'ret = self.is_active'),
        ('SetActive', 'b', 'b', 'self.is_active = args[0]; self.EmitSignal('
                                '"", "ActiveChanged", "b", [self.is_active]); ret = True'),
        ('GetSessionIdleTime', '', 'u', idle_code),
        ('SimulateUserActivity', '', '', 'self.idle_ms = dbus.UInt32(0)'),
    ])
