# -*- coding: utf-8 -*-
# Runs kz-orba-cli for the kz.orba modules and reads its one JSON shape:
#   {"schema": 1, "receivers": [{"port": ..., "status": ..., "result": ..., "error": ...,
#                                "settings": {...}, "changes": [...], "unconfirmed": [...],
#                                "commands": [...]}]}
# Everything the modules know about the command line's output is in this file.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import datetime
import json
import os
import re
import tempfile

SCHEMA = 1

# kz-orba-cli's exit statuses.
STATUS_DONE = 0
STATUS_FAILED = 1
STATUS_USAGE = 2
STATUS_LINE = 3

# Settings a receiver reports but that cannot be set: read's facts, never part of a profile.
READ_ONLY = ('transmitter', 'rx_firmware', 'tx_firmware')

# What a setting's name looks like; kz-orba-cli says whether it names one.
SETTING_NAME = re.compile(r'^[a-z][a-z0-9_]*$')

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
                module.fail_json(msg='kz-orba-cli not found or not executable: %s' % path, commands=[])
            self.path = path
        else:
            self.path = module.get_bin_path('kz-orba-cli', required=True)

    def _argv(self, command, json_output=True):
        argv = [self.path]
        if self.port:
            argv += ['--port', self.port]
        if self.module.params.get('config_dir'):
            argv += ['--config-dir', self.module.params['config_dir']]
        return argv + (['--json'] if json_output else []) + list(command)

    def run_json(self, command):
        """Runs one command with --json; returns (status, the receiver's entry, stderr)."""
        argv = self._argv(command)
        rc, out, err = self.module.run_command(argv)
        return rc, parse_receiver(out, err, rc, self.port), err

    def run_text(self, command):
        """Runs a command without --json; returns (status, stdout, stderr)."""
        return self.module.run_command(self._argv(command, json_output=False))

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
        if rc == STATUS_DONE and not (err or '').strip():
            raise CliError('%s: kz-orba-cli exited with status 0 but printed no JSON document: %r'
                           % (port, (out or '')[:200]), rc, stderr=err)
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
    if port and port not in reason:
        reason = '%s: %s' % (port, reason)
    return reason


def escaped(text):
    """text with every character outside printable ASCII, and the backslash, as \\xHH (or
    \\uHHHH), so that a message quoting it holds no line end or escape sequence."""
    out = []
    for c in text:
        if ' ' <= c <= '~' and c != '\\':
            out.append(c)
        elif ord(c) < 0x100:
            out.append('\\x%02X' % ord(c))
        else:
            out.append('\\u%04X' % ord(c))
    return ''.join(out)


def control_char(text):
    """The first control character of text (a tab, a line end, ...), or None."""
    for c in text:
        if ord(c) < 0x20 or ord(c) == 0x7F:
            return c
    return None


def comment_start(text):
    """Where a "#" would begin a comment in a profile line (at the start, or after a space or a
    tab), or -1."""
    for i, c in enumerate(text):
        if c == '#' and (i == 0 or text[i - 1] in ' \t'):
            return i
    return -1


def checked_settings(settings):
    """The settings dict as (name, value text) pairs, sorted by name, once every key is a
    setting's name and no value holds what a profile line would read otherwise (a comment, a
    control byte, a line end). CliError naming the key otherwise; nothing has been sent."""
    if not settings:
        raise CliError('settings: no setting given')
    pairs = []
    for key in sorted(settings, key=str):
        value = settings[key]
        name = str(key)
        if not SETTING_NAME.match(name):
            raise CliError('settings: "%s" is not a setting name (kz-orba-cli values and read '
                           'print them); nothing was sent' % escaped(name))
        if isinstance(value, bool):
            raise CliError('settings: %s: a value must be a word or a number, not %r; nothing '
                           'was sent (quote "On" and "Off" in YAML)' % (name, value))
        if value is None:
            raise CliError('settings: %s: no value given; nothing was sent' % name)
        if isinstance(value, (dict, list)):
            raise CliError('settings: %s: a value must be a word or a number; nothing was sent'
                           % name)
        text = str(value)
        control = control_char(text)
        if control is not None:
            raise CliError('settings: %s: the value holds the control byte %s; nothing was sent'
                           % (name, escaped(control)))
        if comment_start(text) >= 0:
            raise CliError('settings: %s: the value "%s" holds a "#" that a profile reads as '
                           'a comment; nothing was sent' % (name, text))
        if text != text.strip():
            raise CliError('settings: %s: the value "%s" begins or ends with a space; nothing '
                           'was sent' % (name, text))
        pairs.append((name, text))
    return pairs


def profile_text(settings):
    """A profile ("name = value" lines) for a dict of settings; numbers written as numbers."""
    return ''.join('%s = %s\n' % pair for pair in checked_settings(settings))


def profile_assignments(text, origin='running_config'):
    """The writable "name=value" assignments of a profile's text, as kz-orba-cli reads a profile
    ("#" at the start or after a space or tab begins a comment, the rest is trimmed, "name =
    value"); read-only settings are left out as apply leaves them alone. CliError naming the
    line for a line that is not "name = value"; kz-orba-cli checks names and values."""
    out = []
    for number, line in enumerate(text.split('\n'), 1):
        if line.endswith('\r'):
            line = line[:-1]
        cut = comment_start(line)
        line = (line[:cut] if cut >= 0 else line).strip()
        if not line:
            continue
        name, eq, value = line.partition('=')
        name, value = name.strip(), value.strip()
        if not eq or not name:
            raise CliError('%s: line %d: not "name = value": %s' % (origin, number, escaped(line)))
        if name in READ_ONLY:
            continue
        out.append('%s=%s' % (name, value))
    if not out:
        raise CliError('%s: no writable setting in it' % origin)
    return out


def backup_file(module, cli, options, hostname):
    """Reads the receiver as kz-orba-cli read prints it and writes that profile to the backup
    file (options: dir_path, filename); returns the file's path. Written whole or not at all."""
    options = options or {}
    folder = options.get('dir_path') or os.path.join(os.getcwd(), 'backup')
    name = options.get('filename')
    if not name:
        now = datetime.datetime.now()
        name = '%s_config.%s@%s' % (hostname or 'receiver', now.strftime('%Y-%m-%d'),
                                    now.strftime('%H:%M:%S'))
    rc, out, err = cli.run_text(['read'])
    if rc != STATUS_DONE:
        raise CliError('backup: ' + failure_message(cli.port, {}, err, rc), rc, stderr=err)
    path = os.path.join(folder, name)
    try:
        if not os.path.isdir(folder):
            os.makedirs(folder)
        fd, tmp = tempfile.mkstemp(prefix='.%s.' % name, dir=folder)
        try:
            with os.fdopen(fd, 'w') as f:
                f.write(out)
                f.flush()
                os.fsync(f.fileno())
            os.rename(tmp, path)
        except BaseException:
            os.unlink(tmp)
            raise
    except (IOError, OSError) as e:
        raise CliError('backup: %s: %s; nothing was sent' % (path, e.strerror or e))
    return path


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
