#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: receiver_action
short_description: Press a KZ-ORBA-320-RX front-panel key, or reset or auto-adjust the receiver
description:
  - Sends one front-panel key (C(menu), C(minus), C(plus)), the system reset, or the VGA auto
    adjust, through C(kz-orba-cli key), C(kz-orba-cli reset) and C(kz-orba-cli vga-auto).
  - An action always changes the receiver, so the task is always C(changed).
  - In check mode nothing is sent and the task reports what it would have done.
version_added: "1.0.5"
author:
  - KZ-ORBA control utility developers
extends_documentation_fragment:
  - kz.orba.kz_orba
options:
  action:
    description:
      - What to do. C(reset) restores every setting to the receiver's defaults.
    type: str
    required: true
    choices: [key_menu, key_minus, key_plus, reset, vga_auto]
notes:
  - Supports check mode, in which it sends nothing.
seealso:
  - module: kz.orba.receiver
'''

EXAMPLES = r'''
- name: Back to the receiver's defaults before the new profile
  kz.orba.receiver_action:
    port: "{{ receiver_port }}"
    action: reset

- name: Re-centre the VGA picture
  kz.orba.receiver_action:
    port: "{{ receiver_port }}"
    action: vga_auto
'''

RETURN = r'''
port:
  description: The port the receiver was reached on.
  returned: always
  type: str
  sample: COM1
command:
  description: The kz-orba-cli command that was run (or, in check mode, would have been).
  returned: always
  type: list
  elements: str
  sample: ["key", "menu"]
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kz.orba.plugins.module_utils.kz_orba_cli import (
    COMMON_ARGUMENT_SPEC, Cli, failure_message)

COMMANDS = dict(
    key_menu=['key', 'menu'],
    key_minus=['key', 'minus'],
    key_plus=['key', 'plus'],
    reset=['reset'],
    vga_auto=['vga-auto'],
)


def main():
    argument_spec = dict(COMMON_ARGUMENT_SPEC)
    argument_spec.update(action=dict(type='str', required=True, choices=sorted(COMMANDS)))
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    cli = Cli(module)
    command = COMMANDS[module.params['action']]
    if module.check_mode:
        module.exit_json(changed=True, port=cli.port, command=command,
                         msg='check mode: %s not sent' % ' '.join(command))
    rc, err = cli.run_plain(command)
    if rc != 0:
        module.fail_json(msg=failure_message(cli.port, {}, err, rc), port=cli.port,
                         command=command, cli_status=rc)
    module.exit_json(changed=True, port=cli.port, command=command)


if __name__ == '__main__':
    main()
