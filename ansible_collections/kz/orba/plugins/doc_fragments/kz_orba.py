# -*- coding: utf-8 -*-
# The options every kz.orba module takes: which kz-orba-cli reaches the receiver, and with which
# option lists; and the port of the modules that always open the line (kz.orba.receiver
# documents its own: it needs none offline).

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  config_dir:
    description:
      - The folder of the option-list files (C(auto_off.txt), C(input_prefer.txt),
        C(output_reso.txt)), as kz-orba-cli's C(--config-dir). Default is the folder
        kz-orba-cli finds on its own.
    type: path
  cli:
    description:
      - The path of C(kz-orba-cli). Default is the one found on C(PATH).
    type: path
'''

    PORT = r'''
options:
  port:
    description:
      - The receiver's line, as kz-orba-cli's C(--port) takes it.
      - C(COM1) to C(COM9), a device path such as C(/dev/ttyUSB0), or
        C(tcp://HOST:PORT) of a serial-to-Ethernet gateway in raw TCP mode.
      - Give it once for every kz.orba module of a play in C(module_defaults) for the action
        group C(group/kz.orba.kz_orba), from a host variable; that is also how C(gather_facts)
        passes it to M(kz.orba.receiver_facts) (see its examples).
    type: str
    required: true
'''
