namespace dmm_views_placeholder {}
