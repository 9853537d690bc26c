#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: receiver_info
short_description: Read a KZ-ORBA-320-RX receiver's settings, firmware and transmitter
description:
  - Reads every readable setting of one receiver through C(kz-orba-cli read), for inventories
    and reports. Sends only queries.
  - A silent or unreachable receiver fails its own host only, naming the port and the reason.
  - Kept for the playbooks that C(register) its result; M(kz.orba.receiver_facts) sets the same
    as C(ansible_facts.kz_orba) and serves C(gather_facts).
version_added: "1.0.5"
author:
  - KZ-ORBA control utility developers
extends_documentation_fragment:
  - kz.orba.kz_orba
  - kz.orba.kz_orba.port
notes:
  - Supports check mode (it changes nothing either way).
seealso:
  - module: kz.orba.receiver_facts
  - module: kz.orba.receiver
'''

EXAMPLES = r'''
- name: What each room runs
  kz.orba.receiver_info:
    port: "{{ receiver_port }}"
  register: room

- name: Rooms still on old receiver firmware
  ansible.builtin.debug:
    msg: "{{ inventory_hostname }} runs {{ room.receiver.firmware.receiver }}"
  when: room.receiver.firmware.receiver != "V1.05"
'''

RETURN = r'''
receiver:
  description: What the receiver reported.
  returned: success
  type: dict
  contains:
    port:
      description: The port the receiver was reached on.
      type: str
      sample: tcp://gw-101.av.example.org:4001
    settings:
      description:
        - Every setting as C(kz-orba-cli --json read) reports it (also the read-only ones),
          with numbers as numbers.
      type: dict
      sample: {"aspect": "Full", "brightness": 50, "transmitter": "TX"}
    firmware:
      description: The firmware of the receiver and of its transmitter.
      type: dict
      sample: {"receiver": "V1.05", "transmitter": "V1.02"}
    transmitter:
      description: The transmitter's identification word.
      type: str
      sample: TX
commands:
  description: The messages sent that write; always empty (only queries are sent).
  returned: always
  type: list
  elements: str
  sample: []
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kz.orba.plugins.module_utils.kz_orba_cli import (
    COMMON_ARGUMENT_SPEC, Cli, CliError)


def main():
    module = AnsibleModule(argument_spec=dict(COMMON_ARGUMENT_SPEC), supports_check_mode=True)
    cli = Cli(module)
    try:
        receiver = cli.checked(['read'])
    except CliError as e:
        module.fail_json(msg=e.msg, port=cli.port, cli_status=e.status, stderr=e.stderr,
                         commands=[])
    settings = receiver.get('settings') or {}
    module.exit_json(changed=False, commands=[], receiver=dict(
        port=cli.port,
        settings=settings,
        firmware=dict(receiver=settings.get('rx_firmware'), transmitter=settings.get('tx_firmware')),
        transmitter=settings.get('transmitter'),
    ))


if __name__ == '__main__':
    main()
