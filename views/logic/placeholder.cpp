namespace dmm_viewlogic_placeholder {}
