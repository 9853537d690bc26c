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
  - An action always changes the receiver, so the task is C(changed) once the message was
    sent, also when its reply did not come (it may have taken).
  - In check mode the line is not opened (C(kz-orba-cli key menu --dry-run)); the task is not
    C(changed), C(msg) says what it would do and C(commands) holds the message it would send.
    Whether the receiver answers is not checked.
version_added: "1.0.5"
author:
  - KZ-ORBA control utility developers
extends_documentation_fragment:
  - kz.orba.kz_orba
  - kz.orba.kz_orba.port
options:
  action:
    description:
      - What to do. C(reset) restores every setting to the receiver's defaults.
    type: str
    required: true
    choices: [key_menu, key_minus, key_plus, reset, vga_auto]
notes:
  - Supports check mode, in which it opens no line and sends nothing.
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
commands:
  description:
    - The message sent, bytes outside printable ASCII as C(\xHH); in check mode the one that
      would be sent. Empty when nothing left (the line could not be opened).
  returned: always
  type: list
  elements: str
  sample: ["WP_KeyMenu[]$\\x0D"]
msg:
  description: What was done, or in check mode what would be done.
  returned: always
  type: str
  sample: "check mode: would send key menu; nothing sent"
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kz.orba.plugins.module_utils.kz_orba_cli import (
    COMMON_ARGUMENT_SPEC, STATUS_DONE, Cli, CliError, failure_message)

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
    words = ' '.join(command)
    try:
        if module.check_mode:
            receiver = cli.checked(command + ['--dry-run'])
            module.exit_json(changed=False, port=cli.port, command=command,
                             commands=receiver.get('commands') or [],
                             msg='check mode: would send %s; nothing sent, no line opened' % words)
        rc, receiver, err = cli.run_json(command)
    except CliError as e:
        module.fail_json(msg=e.msg, port=cli.port, command=command, cli_status=e.status,
                         changed=False, commands=[], stderr=e.stderr)
    commands = receiver.get('commands') or []
    if rc != STATUS_DONE or receiver.get('status', rc) != STATUS_DONE:
        module.fail_json(msg=failure_message(cli.port, receiver, err, rc), port=cli.port,
                         command=command, cli_status=rc, changed=bool(commands),
                         commands=commands)
    module.exit_json(changed=True, port=cli.port, command=command, commands=commands,
                     msg='sent %s' % words)


if __name__ == '__main__':
    main()
