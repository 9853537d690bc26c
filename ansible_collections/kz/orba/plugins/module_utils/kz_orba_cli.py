# -*- coding: utf-8 -*-
# Runs kz-orba-cli for the kz.orba modules and reads its one JSON shape:
#   {"schema": 1, "receivers": [{"port": ..., "status": ..., "result": ..., "error": ...,
#                                "settings": {...}, "changes": [...]}]}
# Everything the modules know about the command line's output is in this file.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os
import tempfile

SCHEMA = 1

# kz-orba-cli's exit statuses.
STATUS_DONE = 0
STATUS_FAILED = 1
STATUS_USAGE = 2
STATUS_LINE = 3

# Settings a receiver reports but that cannot be set: read's facts, never part of a profile.
READ_ONLY = ('transmitter', 'rx_firmware', 'tx_firmware')

COMMON_ARGUMENT_SPEC = dict(
    port=dict(type='str', required=True),
    config_dir=dict(type='path'),
    cli=dict(type='path'),
)


class CliError(Exception):
    """kz-orba-cli ran but did not do what was asked; msg is what the user reads."""

    def __init__(self, msg, status=None, receiver=None, stderr=''):
        super(CliError, self).__init__(msg)
        self.msg = msg
        self.status = status
        self.receiver = receiver or {}
        self.stderr = stderr


class Cli(object):
    """kz-orba-cli for one receiver, as the module's parameters name it."""

    def __init__(self, module):
        self.module = module
        self.port = module.params['port']
        path = module.params.get('cli')
        if path:
            if not os.access(path, os.X_OK):
                module.fail_json(msg='kz-orba-cli not found or not executable: %s' % path)
            self.path = path
        else:
            self.path = module.get_bin_path('kz-orba-cli', required=True)

    def _argv(self, command):
        argv = [self.path, '--port', self.port]
        if self.module.params.get('config_dir'):
            argv += ['--config-dir', self.module.params['config_dir']]
        return argv + ['--json'] + list(command)

    def run_json(self, command):
        """Runs one command with --json; returns (status, the receiver's entry, stderr)."""
        argv = self._argv(command)
        rc, out, err = self.module.run_command(argv)
        return rc, parse_receiver(out, err, rc, self.port), err

    def run_plain(self, command):
        """Runs a command that prints no JSON (keys and actions); returns (status, stderr)."""
        argv = [self.path, '--port', self.port]
        if self.module.params.get('config_dir'):
            argv += ['--config-dir', self.module.params['config_dir']]
        rc, out, err = self.module.run_command(argv + list(command))
        return rc, err or out

    def checked(self, command):
        """run_json that raises CliError unless the receiver's status is 0."""
        rc, receiver, err = self.run_json(command)
        status = receiver.get('status', rc)
        if rc != STATUS_DONE or status != STATUS_DONE:
            raise CliError(failure_message(self.port, receiver, err, rc), rc, receiver, err)
        return receiver


def parse_receiver(out, err, rc, port):
    """The one receiver entry of kz-orba-cli's JSON output, or CliError when there is none."""
    try:
        doc = json.loads(out) if out.strip() else None
    except ValueError:
        doc = None
    if not isinstance(doc, dict):
        raise CliError(failure_message(port, {}, err, rc), rc, stderr=err)
    if doc.get('schema') != SCHEMA:
        raise CliError('%s: kz-orba-cli speaks JSON schema %r, this collection schema %d'
                       % (port, doc.get('schema'), SCHEMA), rc, stderr=err)
    receivers = doc.get('receivers') or []
    if len(receivers) != 1 or not isinstance(receivers[0], dict):
        raise CliError('%s: kz-orba-cli reported %d receivers, expected one'
                       % (port, len(receivers)), rc, stderr=err)
    return receivers[0]


def failure_message(port, receiver, err, rc):
    """One line naming the port and the reason, taken from the CLI's own words."""
    reason = receiver.get('error') if receiver else None
    if not reason:
        lines = [line for line in (err or '').splitlines() if line.strip()]
        reason = lines[-1] if lines else 'kz-orba-cli exited with status %s' % rc
    if reason.startswith('kz-orba-cli: '):
        reason = reason[len('kz-orba-cli: '):]
    if port not in reason:
        reason = '%s: %s' % (port, reason)
    return reason


def profile_text(settings):
    """A profile ("name = value" lines) for a dict of settings; numbers written as numbers."""
    lines = []
    for name in sorted(settings):
        value = settings[name]
        if isinstance(value, bool):
            raise CliError('%s: a value must be a word or a number, not %r' % (name, value))
        if value is None:
            raise CliError('%s: no value given' % name)
        text = str(value)
        if '\n' in text or '\r' in text:
            raise CliError('%s: a value cannot hold a line end' % name)
        lines.append('%s = %s' % (name, text))
    return '\n'.join(lines) + '\n'


class ProfileFile(object):
    """A temporary profile file for a dict of settings, removed on leaving."""

    def __init__(self, module, settings):
        self.module = module
        self.text = profile_text(settings)
        self.path = None

    def __enter__(self):
        fd, self.path = tempfile.mkstemp(prefix='kz-orba-', suffix='.profile',
                                         dir=self.module.tmpdir)
        with os.fdopen(fd, 'w') as f:
            f.write(self.text)
        return self.path

    def __exit__(self, *exc):
        if self.path and os.path.exists(self.path):
            os.unlink(self.path)
        return False


def change_parts(change):
    """(name, before, after) of one entry of "changes"."""
    if isinstance(change, dict):
        name = change.get('name') or change.get('setting')
        before = _first(change, ('from', 'before', 'receiver', 'old'))
        after = _first(change, ('to', 'after', 'profile', 'new'))
        return name, before, after
    # "name: before -> after", as diff prints it.
    text = str(change)
    name, _, rest = text.partition(':')
    before, _, after = rest.partition('->')
    return name.strip(), before.strip(), after.strip()


def _first(d, keys):
    for k in keys:
        if k in d:
            return d[k]
    return None


def diff_of(changes):
    """Ansible's before/after for the settings that differ."""
    before, after = {}, {}
    for change in changes or []:
        name, old, new = change_parts(change)
        if name:
            before[name] = old
            after[name] = new
    return dict(before=before, after=after)
