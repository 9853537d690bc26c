#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: receiver
short_description: Bring a KZ-ORBA-320-RX receiver to a wanted state, or read, render and parse its settings
description:
  - With C(state=merged) (the default) reads the receiver, sends every setting of I(settings)
    or I(profile) that differs, reads them back and verifies them, through
    C(kz-orba-cli apply). Settings not named are left as they are.
  - Idempotent. The task is C(changed) when a setting was sent and confirmed (listed in
    C(changes)) or sent without confirmation, so that it may have taken (listed in
    C(unconfirmed)); a failed task can be C(changed) too.
  - C(state=gathered) reads the receiver into the structure of I(settings) (returned as
    C(gathered)); it sends only queries.
  - C(state=rendered) returns the messages that I(settings) or I(profile) would send
    (C(rendered)), in the order given, without opening the line (C(kz-orba-cli set --dry-run)).
    Unlike C(merged) it cannot know which settings already hold their value, so it lists them
    all.
  - C(state=parsed) turns a profile's text (I(running_config), as C(kz-orba-cli read) prints
    it) into the structure of I(settings) (returned as C(parsed)), checked by kz-orba-cli
    against the option lists, without opening the line.
  - C(replaced), C(overridden) and C(deleted) do not apply to a receiver. Every setting always
    holds one of its values; there is no setting to delete, and no "absent" value to which
    settings that a configuration leaves out could be brought, so C(replaced) and C(overridden)
    would be C(merged). To bring every setting to a known state, give a whole profile (the
    output of C(kz-orba-cli read)); to go back to the receiver's defaults, use
    M(kz.orba.receiver_action) with C(action=reset).
  - In check mode (C(merged)) runs C(kz-orba-cli apply --dry-run), which reads the receiver
    (queries only) and sends no setting; C(commands) then lists the messages that would be
    sent and C(changes) the settings that would change.
  - In diff mode returns the settings that differ, before and after.
  - Every key of I(settings) must be a setting's name and no value may hold a comment (C(#) at
    its start or after a space), a control byte or a line end; a name or value that the
    receiver does not offer fails the task. All of these fail before anything is sent, naming
    the setting.
  - A silent or unreachable receiver fails its own host only, naming the port and the reason.
  - Runs C(kz-orba-cli) on the host the task runs on; the modules never open the line themselves.
version_added: "1.0.5"
author:
  - KZ-ORBA control utility developers
extends_documentation_fragment:
  - kz.orba.kz_orba
options:
  port:
    description:
      - The receiver's line, as kz-orba-cli's C(--port) takes it.
      - C(COM1) to C(COM9), a device path such as C(/dev/ttyUSB0), or
        C(tcp://HOST:PORT) of a serial-to-Ethernet gateway in raw TCP mode.
      - Required with C(state=merged) and C(state=gathered); not used by C(rendered) and
        C(parsed), which open no line.
      - Give it once for every kz.orba module of a play in C(module_defaults) for the action
        group C(group/kz.orba.kz_orba).
    type: str
  state:
    description:
      - C(merged) brings the receiver to I(settings) or I(profile).
      - C(gathered) reads the receiver and returns its settings as C(gathered).
      - C(rendered) returns the messages I(settings) or I(profile) would send as C(rendered),
        opening no line.
      - C(parsed) returns I(running_config) as settings in C(parsed), opening no line.
    type: str
    choices: [merged, gathered, rendered, parsed]
    default: merged
  settings:
    description:
      - The wanted settings, by the names C(kz-orba-cli read) prints; words for list
        settings, numbers for C(brightness), C(contrast), C(saturation), C(hue), C(sharpness),
        C(overscan_h), C(overscan_v) and C(projsw_mode).
      - Settings not named are left as they are.
      - With C(merged) and C(rendered); mutually exclusive with I(profile).
    type: dict
  profile:
    description:
      - A profile file on the control host, as C(kz-orba-cli read) prints it
        (C(name = value) lines, C(#) comments). Read-only settings in it are left alone.
      - With C(merged) and C(rendered); mutually exclusive with I(settings).
    type: path
  running_config:
    description:
      - The text of a profile, as C(kz-orba-cli read) prints it, for C(state=parsed); for
        example C("{{ lookup('file', 'room-101.profile') }}") or a backup file's content.
    type: str
  backup:
    description:
      - With C(state=merged), reads the receiver and saves its settings as the profile
        C(kz-orba-cli read) prints, before anything is sent; the file's path is returned as
        C(backup_path). A failed read or write fails the task with nothing sent.
      - The file goes to the C(backup) folder beside the playbook (in a role, the role's
        folder), named C(<inventory_hostname>_config.<YYYY-MM-DD>@<HH:MM:SS>), unless
        I(backup_options) says otherwise.
      - Not written in check mode, where nothing is sent.
      - Restore a backup by giving it as I(profile).
    type: bool
    default: false
  backup_options:
    description:
      - Where the backup goes, when I(backup=true).
    type: dict
    suboptions:
      dir_path:
        description:
          - The folder; created when missing. A relative path is taken from the playbook's
            folder.
        type: path
      filename:
        description:
          - The file's name in that folder; an existing file is replaced.
        type: str
notes:
  - Supports check mode and diff mode.
  - Use C(ansible_connection=local) with one inventory host per receiver; forks run the
    receivers in parallel.
  - C(commands) holds the messages that write (settings, keys); the queries of a read are not
    listed. Bytes outside printable ASCII, and the backslash, are written C(\xHH), as in
    kz-orba-cli's trace.
seealso:
  - module: kz.orba.receiver_facts
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

- name: Every room as the reference room, saving each room's settings first
  kz.orba.receiver:
    port: "{{ kz_orba_port }}"
    profile: profiles/lecture-hall.profile
    backup: true
  register: applied

- name: The messages sent, for the change record
  ansible.builtin.debug:
    msg: "{{ inventory_hostname }}: {{ applied.commands }} (backup {{ applied.backup_path }})"

- name: Backups in a folder of their own, one name per room
  kz.orba.receiver:
    port: "{{ kz_orba_port }}"
    profile: profiles/lecture-hall.profile
    backup: true
    backup_options:
      dir_path: /srv/av/backups
      filename: "{{ inventory_hostname }}.profile"

- name: What the change request would send, without touching any receiver
  kz.orba.receiver:
    state: rendered
    settings:
      aspect: 4:3 TV
      brightness: 60
  register: request

- name: Every room's settings in the module's structure
  kz.orba.receiver:
    port: "{{ kz_orba_port }}"
    state: gathered
  register: now

- name: A saved profile as settings
  kz.orba.receiver:
    state: parsed
    running_config: "{{ lookup('file', 'backup/room-101_config.2026-12-11@07:30:00') }}"
  register: saved
'''

RETURN = r'''
port:
  description: The port the receiver was reached on.
  returned: when given
  type: str
  sample: tcp://gw-101.av.example.org:4001
commands:
  description:
    - The messages sent that write, in order, bytes outside printable ASCII as C(\xHH);
      empty when nothing was sent.
    - In check mode, the messages that would be sent. With C(rendered) and C(parsed) always
      empty (see C(rendered)).
    - A message whose reply did not come is listed too; it left.
  returned: always
  type: list
  elements: str
  sample: ["WP_Aspect[16:9]$\\x0D", "WP_PictureBri[55]$\\x0D"]
changes:
  description:
    - The settings sent and confirmed by reading them back (in check mode, that would be
      sent), as kz-orba-cli reports them.
  returned: with state merged
  type: list
  elements: dict
  sample: [{"setting": "aspect", "from": "Full", "to": "16:9 TV"}]
unconfirmed:
  description:
    - The settings sent whose taking was not confirmed (the receiver stopped answering, or
      read back another value); they may have taken, so the task counts as C(changed).
  returned: with state merged
  type: list
  elements: raw
  sample: ["brightness"]
settings:
  description: The settings the task brought the receiver to, as kz-orba-cli reports them.
  returned: with state merged, when kz-orba-cli reports them
  type: dict
  sample: {"aspect": "16:9 TV", "brightness": 55}
gathered:
  description:
    - Every writable setting of the receiver, as I(settings) takes them (numbers as
      numbers). A value that no entry of its list names is left out, with a warning.
  returned: with state gathered
  type: dict
  sample: {"aspect": "Full", "audio": "On", "brightness": 50}
rendered:
  description:
    - The messages I(settings) or I(profile) would send, in the order given, as C(commands)
      writes them. Nothing was sent and no line was opened.
  returned: with state rendered
  type: list
  elements: str
  sample: ["WP_Aspect[4:3]$\\x0D", "WP_PictureBri[60]$\\x0D"]
parsed:
  description:
    - The writable settings of I(running_config), as I(settings) takes them, checked against
      the option lists. No line was opened.
  returned: with state parsed
  type: dict
  sample: {"aspect": "16:9 TV", "brightness": 55}
backup_path:
  description: The file the receiver's settings were saved to before anything was sent.
  returned: when backup is true and not in check mode
  type: str
  sample: /srv/playbooks/backup/room-101_config.2026-12-11@07:30:00
msg:
  description: What was done, or why the task failed.
  returned: always
  type: str
  sample: "sent and confirmed: aspect, brightness"
cli_result:
  description: kz-orba-cli's word for the outcome (C(ok), C(failed), C(line), C(usage)).
  returned: when kz-orba-cli reports it
  type: str
  sample: ok
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kz.orba.plugins.module_utils.kz_orba_cli import (
    COMMON_ARGUMENT_SPEC, READ_ONLY, STATUS_DONE, Cli, CliError, ProfileFile, backup_file,
    change_parts, checked_settings, diff_of, failure_message, profile_assignments)


def outcome_message(changes, unconfirmed, check_mode):
    names = [change_parts(c)[0] for c in changes]
    if check_mode:
        return 'would change: %s' % (', '.join(names) or 'nothing')
    parts = ['sent and confirmed: %s' % (', '.join(names) or 'none')]
    if unconfirmed:
        parts.append('sent, not confirmed (may have taken): %s'
                     % ', '.join(str(change_parts(u)[0]) for u in unconfirmed))
    return '; '.join(parts)


def merged(module, cli, profile_path, backup_path):
    command = ['apply', profile_path]
    if module.check_mode:
        command.append('--dry-run')
    rc, receiver, err = cli.run_json(command)
    changes = receiver.get('changes') or []
    unconfirmed = receiver.get('unconfirmed') or []
    commands = receiver.get('commands') or []
    if 'unconfirmed' not in receiver and rc != STATUS_DONE and not module.check_mode:
        # A kz-orba-cli that does not tell them apart: whatever left may have taken.
        unconfirmed = [c for c in commands]
    changed = bool(changes or unconfirmed)
    result = dict(port=cli.port, changes=changes, unconfirmed=unconfirmed, commands=commands,
                  cli_result=receiver.get('result'))
    if backup_path:
        result['backup_path'] = backup_path
    if module._diff:
        result['diff'] = diff_of(changes)
    if rc != STATUS_DONE or receiver.get('status', rc) != STATUS_DONE:
        module.fail_json(msg='%s (%s)' % (failure_message(cli.port, receiver, err, rc),
                                          outcome_message(changes, unconfirmed, False)),
                         changed=changed and not module.check_mode, cli_status=rc, stderr=err,
                         **result)
    if receiver.get('settings') is not None:
        result['settings'] = receiver['settings']
    module.exit_json(changed=changed, msg=outcome_message(changes, unconfirmed, module.check_mode),
                     **result)


def gathered(module, cli):
    receiver = cli.checked(['read'])
    values = receiver.get('settings') or {}
    notes = receiver.get('notes') or {}
    out = {}
    for name, value in values.items():
        if name in READ_ONLY:
            continue
        if value is None:
            module.warn('%s: %s: %s; left out of gathered'
                        % (cli.port, name, notes.get(name, 'unread')))
            continue
        out[name] = value
    module.exit_json(changed=False, port=cli.port, gathered=out, commands=[],
                     msg='read %d settings' % len(out))


def offline(module, cli, assignments, key):
    """rendered and parsed: kz-orba-cli set --dry-run checks the names and values against the
    option lists and tells the messages, opening no line."""
    receiver = cli.checked(['set', '--dry-run'] + assignments)
    if key == 'rendered':
        value = receiver.get('commands') or []
    else:
        value = receiver.get('settings') or {}
    result = dict(changed=False, commands=[], msg='no line opened')
    result[key] = value
    if cli.port:
        result['port'] = cli.port
    module.exit_json(**result)


def main():
    argument_spec = dict(COMMON_ARGUMENT_SPEC)
    argument_spec.update(
        port=dict(type='str'),
        state=dict(type='str', default='merged',
                   choices=['merged', 'gathered', 'rendered', 'parsed']),
        settings=dict(type='dict'),
        profile=dict(type='path'),
        running_config=dict(type='str'),
        backup=dict(type='bool', default=False),
        backup_options=dict(type='dict', options=dict(
            dir_path=dict(type='path'),
            filename=dict(type='str'),
        )),
    )
    module = AnsibleModule(
        argument_spec=argument_spec,
        mutually_exclusive=[('settings', 'profile', 'running_config')],
        required_if=[
            ('state', 'merged', ('settings', 'profile'), True),
            ('state', 'merged', ('port',)),
            ('state', 'gathered', ('port',)),
            ('state', 'rendered', ('settings', 'profile'), True),
            ('state', 'parsed', ('running_config',)),
        ],
        supports_check_mode=True,
    )
    state = module.params['state']
    p = module.params
    if state != 'merged' and p['backup']:
        module.fail_json(msg='backup is for state merged; %s sends nothing' % state, commands=[])
    if state == 'gathered' and (p['settings'] is not None or p['profile'] is not None):
        module.fail_json(msg='state gathered reads the receiver; it takes no settings or profile',
                         commands=[])
    if state in ('merged', 'rendered') and p['running_config'] is not None:
        module.fail_json(msg='running_config is for state parsed', commands=[])
    cli = Cli(module)
    try:
        if state == 'gathered':
            gathered(module, cli)
        elif state == 'parsed':
            offline(module, cli, profile_assignments(p['running_config']), 'parsed')
        elif state == 'rendered':
            if p['profile'] is not None:
                with open(p['profile']) as f:
                    text = f.read()
                assignments = profile_assignments(text, p['profile'])
            else:
                assignments = ['%s=%s' % pair for pair in checked_settings(p['settings'])]
            offline(module, cli, assignments, 'rendered')
        else:
            profile = ProfileFile(module, p['settings']) if p['profile'] is None else None
            backup_path = None
            if p['backup'] and not module.check_mode:
                backup_path = backup_file(module, cli, p['backup_options'], None)
            if profile is None:
                merged(module, cli, p['profile'], backup_path)
            else:
                with profile as path:
                    merged(module, cli, path, backup_path)
    except CliError as e:
        module.fail_json(msg=e.msg, port=cli.port, changed=False, commands=[],
                         cli_status=e.status, stderr=e.stderr)
    except (IOError, OSError) as e:
        module.fail_json(msg='%s: %s' % (getattr(e, 'filename', None) or 'profile',
                                         e.strerror or e), changed=False, commands=[])


if __name__ == '__main__':
    main()
