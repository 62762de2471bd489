namespace dmm_shell_placeholder {}
