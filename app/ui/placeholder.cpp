namespace dmm_ui_placeholder {}
