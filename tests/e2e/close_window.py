#!/usr/bin/env python3
"""Asks an X window to close as a window manager's close box does: WM_DELETE_WINDOW."""
import ctypes as c
import sys

x11 = c.cdll.LoadLibrary("libX11.so.6")
x11.XOpenDisplay.restype = c.c_void_p
x11.XInternAtom.restype = c.c_ulong
x11.XInternAtom.argtypes = [c.c_void_p, c.c_char_p, c.c_int]
x11.XSendEvent.argtypes = [c.c_void_p, c.c_ulong, c.c_int, c.c_long, c.c_void_p]


class ClientMessage(c.Structure):  # padded to the size of an XEvent
    _fields_ = [("type", c.c_int), ("serial", c.c_ulong), ("send_event", c.c_int), ("display", c.c_void_p),
                ("window", c.c_ulong), ("message_type", c.c_ulong), ("format", c.c_int), ("data", c.c_long * 5),
                ("pad", c.c_long * 12)]


display = x11.XOpenDisplay(None) or sys.exit("cannot open display")


def atom(name):
    return x11.XInternAtom(display, name, 0)


ev = ClientMessage(type=33, window=int(sys.argv[1]), message_type=atom(b"WM_PROTOCOLS"), format=32)  # 33: ClientMessage
ev.data[0] = atom(b"WM_DELETE_WINDOW")  # then CurrentTime, 0
x11.XSendEvent(display, ev.window, 0, 0, c.byref(ev))
x11.XCloseDisplay(c.c_void_p(display))
