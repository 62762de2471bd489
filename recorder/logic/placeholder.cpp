namespace dmm_recordlogic_placeholder {}
