#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: receiver_facts
short_description: Read a KZ-ORBA-320-RX receiver into ansible_facts
description:
  - Reads one receiver through C(kz-orba-cli) and sets C(ansible_facts.kz_orba), so that
    C(hostvars), fact caching and reports see it without C(register). Sends only queries.
  - Runs as a task, or as the facts module of C(gather_facts), as network collections do,
    with C(facts_modules = kz.orba.receiver_facts) in C(ansible.cfg) or
    C(ansible_facts_modules) in the inventory; C(gather_facts) takes its I(port) from the
    play's C(module_defaults) for C(group/kz.orba.kz_orba) (see the examples).
  - C(gather_facts) passes C(gather_subset) on only over network connections; with
    C(ansible_connection=local) give I(gather_subset) in C(module_defaults) as well.
  - A silent or unreachable receiver fails its own host only, naming the port and the reason.
  - The state of kz-orba-cli's status probe is not among the facts.
version_added: "1.0.5"
author:
  - KZ-ORBA control utility developers
extends_documentation_fragment:
  - kz.orba.kz_orba
  - kz.orba.kz_orba.port
options:
  gather_subset:
    description:
      - What to read. C(all) reads every setting (C(kz-orba-cli read)); C(settings) the
        same; C(identity) (also C(min)) only the transmitter and the two firmware versions
        (C(kz-orba-cli get), three queries).
      - A subset preceded by C(!) is left out, e.g. C(!settings) reads only the identity.
    type: list
    elements: str
    default: [all]
notes:
  - Supports check mode (it changes nothing either way).
  - C(kz.orba.receiver_info), which returns the same under C(receiver) for C(register), stays
    for the playbooks that use it.
seealso:
  - module: kz.orba.receiver
  - module: kz.orba.receiver_info
'''

EXAMPLES = r'''
# Inventory (one host per receiver):
#   receivers:
#     vars:
#       ansible_connection: local
#       ansible_facts_modules: [kz.orba.receiver_facts]
#     hosts:
#       room-101: {kz_orba_port: "tcp://gw-101.av.example.org:4001"}
- name: Every room's receiver, as facts
  hosts: receivers
  gather_facts: true
  module_defaults:
    group/kz.orba.kz_orba:
      port: "{{ kz_orba_port }}"
  tasks:
    - name: Rooms still on old receiver firmware
      ansible.builtin.debug:
        msg: "{{ inventory_hostname }} runs {{ ansible_facts.kz_orba.firmware.receiver }}"
      when: ansible_facts.kz_orba.firmware.receiver != "V1.05"

- name: Only who is who, quickly
  hosts: receivers
  gather_facts: true
  module_defaults:
    group/kz.orba.kz_orba:
      port: "{{ kz_orba_port }}"
      gather_subset: [identity]
  tasks:
    - name: The transmitter of each room
      ansible.builtin.debug:
        var: ansible_facts.kz_orba.transmitter

- name: As a task
  hosts: receivers
  gather_facts: false
  tasks:
    - name: Read the receiver
      kz.orba.receiver_facts:
        port: "{{ kz_orba_port }}"
        gather_subset: [all]
'''

RETURN = r'''
ansible_facts:
  description: The facts, under C(kz_orba).
  returned: success
  type: complex
  contains:
    kz_orba:
      description: What the receiver reported.
      returned: success
      type: complex
      contains:
        port:
          description: The port the receiver was reached on.
          returned: always
          type: str
          sample: tcp://gw-101.av.example.org:4001
        gather_subset:
          description: The subsets read.
          returned: always
          type: list
          elements: str
          sample: [identity, settings]
        settings:
          description:
            - Every setting as C(kz-orba-cli --json read) reports it (also the read-only
              ones), with numbers as numbers; a value no entry names is null.
          returned: when the settings subset was read
          type: dict
          sample: {"aspect": "Full", "brightness": 50, "transmitter": "TX"}
        firmware:
          description: The firmware of the receiver and of its transmitter.
          returned: always
          type: dict
          sample: {"receiver": "V1.05", "transmitter": "V1.02"}
        transmitter:
          description: The transmitter's identification word.
          returned: always
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
    COMMON_ARGUMENT_SPEC, Cli, CliError, READ_ONLY)

SUBSETS = ('identity', 'settings')
ALIASES = dict(all=SUBSETS, min=('identity',))


def subsets(wanted):
    """The subsets to read, from gather_subset's words; ValueError for an unknown one."""
    include, exclude = set(), set()
    for word in wanted or ['all']:
        word = str(word).strip()
        target = exclude if word.startswith('!') else include
        word = word.lstrip('!')
        names = ALIASES.get(word, (word,))
        for name in names:
            if name not in SUBSETS:
                raise ValueError('gather_subset: unknown subset "%s" (all, min, %s)'
                                 % (word, ', '.join(SUBSETS)))
            target.add(name)
    if not include:
        include = set(SUBSETS)
    return sorted(include - exclude)


def main():
    argument_spec = dict(COMMON_ARGUMENT_SPEC)
    argument_spec.update(gather_subset=dict(type='list', elements='str', default=['all']))
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    try:
        chosen = subsets(module.params['gather_subset'])
    except ValueError as e:
        module.fail_json(msg=str(e), commands=[])
    cli = Cli(module)
    facts = dict(port=cli.port, gather_subset=chosen)
    try:
        if 'settings' in chosen:
            receiver = cli.checked(['read'])
        elif chosen:
            receiver = cli.checked(['get'] + list(READ_ONLY))
        else:
            receiver = {}
    except CliError as e:
        module.fail_json(msg=e.msg, port=cli.port, cli_status=e.status, stderr=e.stderr,
                         commands=[])
    values = receiver.get('settings') or {}
    if 'settings' in chosen:
        facts['settings'] = values
    facts['firmware'] = dict(receiver=values.get('rx_firmware'),
                             transmitter=values.get('tx_firmware'))
    facts['transmitter'] = values.get('transmitter')
    module.exit_json(changed=False, ansible_facts=dict(kz_orba=facts), commands=[])


if __name__ == '__main__':
    main()
