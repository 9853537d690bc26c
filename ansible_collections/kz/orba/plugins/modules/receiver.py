#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: receiver
short_description: Bring a KZ-ORBA-320-RX receiver to a wanted state
description:
  - Reads the receiver, sends every setting of I(settings) or I(profile) that differs, reads
    them back and verifies them, through C(kz-orba-cli apply).
  - Idempotent. The task is C(changed) only when at least one setting was sent.
  - In check mode runs C(kz-orba-cli apply --dry-run), which reads the receiver and sends no
    setting.
  - In diff mode returns the settings that differ, before and after.
  - A name or value that the receiver does not offer fails the task before anything is sent,
    with kz-orba-cli's message. A silent or unreachable receiver fails its own host only, naming
    the port and the reason.
  - Runs C(kz-orba-cli) on the host the task runs on; the modules never open the line themselves.
version_added: "1.0.5"
author:
  - KZ-ORBA control utility developers
extends_documentation_fragment:
  - kz.orba.kz_orba
options:
  settings:
    description:
      - The wanted settings, by the names C(kz-orba-cli read) prints; words for list
        settings, numbers for C(brightness), C(contrast), C(saturation), C(hue), C(sharpness),
        C(overscan_h), C(overscan_v) and C(projsw_mode).
      - Settings not named are left as they are.
      - Mutually exclusive with I(profile).
    type: dict
  profile:
    description:
      - A profile file on the control host, as C(kz-orba-cli read) prints it
        (C(name = value) lines, C(#) comments).
      - Mutually exclusive with I(settings).
    type: path
notes:
  - Supports check mode and diff mode.
  - Use C(ansible_connection=local) with one inventory host per receiver; forks run the
    receivers in parallel.
seealso:
  - module: kz.orba.receiver_info
  - module: kz.orba.receiver_action
'''

EXAMPLES = r'''
- name: Room 101 shows 16:9 with the sound on
  kz.orba.receiver:
    port: tcp://gw-101.av.example.org:4001
    settings:
      aspect: 16:9 TV
      audio: "On"
      brightness: 55

- name: Every room as the reference room
  kz.orba.receiver:
    port: "{{ receiver_port }}"
    profile: profiles/lecture-hall.profile
'''

RETURN = r'''
port:
  description: The port the receiver was reached on.
  returned: always
  type: str
  sample: tcp://gw-101.av.example.org:4001
changes:
  description:
    - The settings that differed and were sent (in check mode, would be sent), as kz-orba-cli
      reports them.
  returned: always
  type: list
  elements: dict
  sample: [{"name": "aspect", "from": "Full", "to": "16:9 TV"}]
settings:
  description: The receiver's settings as kz-orba-cli read them back.
  returned: when kz-orba-cli reports them
  type: dict
  sample: {"aspect": "16:9 TV", "brightness": 55}
cli_result:
  description: kz-orba-cli's word for the outcome (C(ok), C(failed), ...).
  returned: when kz-orba-cli reports it
  type: str
  sample: ok
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kz.orba.plugins.module_utils.kz_orba_cli import (
    COMMON_ARGUMENT_SPEC, Cli, CliError, ProfileFile, diff_of, failure_message)


def apply(module, cli, profile_path):
    command = ['apply', profile_path]
    if module.check_mode:
        command.append('--dry-run')
    rc, receiver, err = cli.run_json(command)
    changes = receiver.get('changes') or []
    if rc != 0 or receiver.get('status', rc) != 0:
        module.fail_json(msg=failure_message(cli.port, receiver, err, rc), port=cli.port,
                         changed=bool(changes) and not module.check_mode, changes=changes,
                         cli_status=rc, cli_result=receiver.get('result'), stderr=err)
    result = dict(changed=bool(changes), port=cli.port, changes=changes,
                  cli_result=receiver.get('result'))
    if receiver.get('settings') is not None:
        result['settings'] = receiver['settings']
    if module._diff:
        result['diff'] = diff_of(changes)
    module.exit_json(**result)


def main():
    argument_spec = dict(COMMON_ARGUMENT_SPEC)
    argument_spec.update(
        settings=dict(type='dict'),
        profile=dict(type='path'),
    )
    module = AnsibleModule(
        argument_spec=argument_spec,
        mutually_exclusive=[('settings', 'profile')],
        required_one_of=[('settings', 'profile')],
        supports_check_mode=True,
    )
    cli = Cli(module)
    try:
        if module.params['profile'] is not None:
            apply(module, cli, module.params['profile'])
        else:
            with ProfileFile(module, module.params['settings']) as path:
                apply(module, cli, path)
    except CliError as e:
        module.fail_json(msg=e.msg, port=cli.port, changed=False, cli_status=e.status,
                         stderr=e.stderr)


if __name__ == '__main__':
    main()
