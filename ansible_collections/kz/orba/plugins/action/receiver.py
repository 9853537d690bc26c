# -*- coding: utf-8 -*-
# kz.orba.receiver's controller side: settles where a backup goes before the module runs, so
# that the module writes it before it sends anything. A backup goes to the "backup" folder
# beside the playbook (the role's folder in a role), named "<inventory_hostname>_config.<date>@
# <time>", unless backup_options says otherwise; a relative dir_path is taken from the same
# folder.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import os
import time

from ansible.module_utils.parsing.convert_bool import boolean
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):

    def _working_path(self):
        if self._task._role is not None:
            return self._task._role._role_path
        return self._loader.get_basedir()

    def run(self, tmp=None, task_vars=None):
        self._supports_check_mode = True
        task_vars = task_vars or {}
        result = super(ActionModule, self).run(tmp, task_vars)
        args = dict(self._task.args)
        if boolean(args.get('backup') or False, strict=False):
            options = dict(args.get('backup_options') or {})
            folder = options.get('dir_path') or 'backup'
            folder = os.path.expanduser(str(folder))
            if not os.path.isabs(folder):
                folder = os.path.join(self._working_path(), folder)
            options['dir_path'] = folder
            if not options.get('filename'):
                options['filename'] = '%s_config.%s' % (
                    task_vars.get('inventory_hostname', 'receiver'),
                    time.strftime('%Y-%m-%d@%H:%M:%S', time.localtime()))
            args['backup_options'] = options
        result.update(self._execute_module(module_name='kz.orba.receiver', module_args=args,
                                           task_vars=task_vars))
        return result
